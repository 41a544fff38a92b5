// The launcher's commands: running a shortcut, the popup menu's list, corner
// and quit commands, and tray mode.
#include "Daiarog.h"
#include "FileName.h"
#include "Form1.h"
#include "Keyboard.h"
#include "Platform.h"
#include "Texts.h"
#include "WorkArea.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

void Form1::runPicked() {
    // Only the entry the combo box shows as picked can run (see
    // LoadShortcutList: a reload keeps a pick only where it still holds).
    if (pickedPosition_ < 1 || pickedPosition_ > Combo1->count()) {
        platform_.showMessage(Texts::NotThere);
        return;
    }
    const ShortcutEntry& entry = list_.entries[pickedPosition_];
    // A target whose bytes do not decode (a list written on another system)
    // is launched by those bytes, never by the stand-in characters; one kept
    // on disk under its code page 932 name, by that name.
    const QByteArray onDisk = fileNameOnDisk(entry.path, entry.rawPath, list_.encoding);
    const OpenResult result = platform_.openTarget(
        this, entry.path, onDisk == QFile::encodeName(entry.path) ? QByteArray() : onDisk);
    if (result != OpenResult::Opened)
        platform_.showMessage(Texts::FileMissing);
}

void Form1::startNewList() {
    const QString answer = platform_.askText(Texts::AskListName);
    currentListPath_ = QFile::encodeName(answer + QStringLiteral(".xxa"));
    command1Tag_ = currentListPath_;
    LoadShortcutList();
}

void Form1::openListFile() {
    currentListPath_ = fileNameOfShown(
        Daiarog::ShowOpenDialog(platform_, this, openFileRecord_, Texts::OpenFileTitle));
    if (!currentListPath_.isEmpty())
        LoadShortcutList();
}

void Form1::openQuickFile(int number) {
    currentListPath_ = fileNameOnDisk(settings_.quickFiles[number - 1],
                                      settings_.rawQuickFiles[number - 1], settings_.encoding);
    LoadShortcutList();
}

void Form1::chooseCorner(int code) {
    moveToCorner(code);
    tickCorner(code);
    setCornerCode(settings_, code);
    SaveSettings();
}

void Form1::quit() {
    // A tray icon left behind would outlive the program.
    platform_.hideTrayIcon();
    platform_.endProgram();
}

void Form1::goToTray() {
    // Without a tray to hold the icon, a hidden window could never come
    // back: minimise it instead, so the window list can restore it. The icon
    // is asked for before the window goes, because a window hidden and at
    // once mapped again iconic races the window manager's unmapping and can
    // end up shown.
    if (platform_.showTrayIcon(this))
        hide();
    else
        showMinimized();
}

void Form1::answerTrayClick(TrayClick click) {
    if (click == TrayClick::RightButtonUp)
        platform_.popupMenu(menus_.tasukumenu, MenuButtons::Either);
    else
        restoreFromTray();
}

void Form1::restoreFromTray() {
    if (isMinimized())
        showNormal();
    else
        show();
    platform_.hideTrayIcon();
}

void Form1::quitFromTray() {
    platform_.hideTrayIcon();
    platform_.endProgram();
}

void Form1::showPopupMenu(std::optional<QPoint> at) {
    platform_.popupMenu(menus_.op1, MenuButtons::Left, at);
}

// The Menu key and Shift+F10 open the menu under the focused control, as a
// right click opens it at the pointer.
void Form1::showPopupMenuFromKeyboard() {
    QWidget* anchor = focusWidget();
    if (anchor == Combo1->lineEdit())
        anchor = Combo1;
    showPopupMenu(keyboardMenuPoint(anchor ? anchor : this));
}

void Form1::closeEvent(QCloseEvent* event) {
    // The launcher never closes: a close request sends it to the tray and
    // reloads the list, which is how the dialogs make it show their edits.
    event->ignore();
    goToTray();
    LoadShortcutList();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // The keys reach the combo box, which passes them to its edit field.
        if (watched != Command1 && isEnterKey(key))
            return true;
        if (isContextMenuKey(key)) {
            showPopupMenuFromKeyboard();
            return true;
        }
        // In the edit field the key still deletes text. The button has no
        // use for it; swallow it there, or it would reach the window too.
        if (key->key() == Qt::Key_Delete) {
            goToTray();
            return watched == Command1;
        }
    } else if (event->type() == QEvent::ContextMenu && watched != Command1) {
        // The Menu key comes with a context menu request, which the combo box
        // passes to its edit field. The key itself opens op1 (above); the
        // field's own edit menu stays for the right mouse button.
        return static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
    } else if (event->type() == QEvent::MouseButtonRelease && watched == Command1) {
        // Handled here, so the release does not reach the window as well.
        if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            showPopupMenu();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete)
        goToTray();
    else if (isContextMenuKey(event))
        showPopupMenuFromKeyboard();
    else if (!pressFocusedButton(this, event))
        QWidget::keyPressEvent(event);
}

void Form1::contextMenuEvent(QContextMenuEvent* event) {
    // On X the Menu key comes with a context menu request as well; the key
    // itself opens op1.
    if (event->reason() == QContextMenuEvent::Keyboard)
        event->accept();
    else
        event->ignore();
}

void Form1::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton)
        showPopupMenu();
    QWidget::mouseReleaseEvent(event);
}

bool Form1::event(QEvent* event) {
    // A panel came, went or changed while the window sat in its corner: the
    // corner of the new work area is where it belongs.
    if (event->type() == WorkAreaChangeEvent::eventType()) {
        if (const int code = cornerCode(settings_); code >= 1 && code <= 4)
            moveToCorner(code);
        return true;
    }
    return QWidget::event(event);
}
