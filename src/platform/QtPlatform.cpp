#include "QtPlatform.h"

#include "FileName.h"
#include "FramePosition.h"
#include "OpenFileRecord.h"
#include "ShellOpen.h"
#include "TrayCallbackEvent.h"
#include "TrayHostPosition.h"
#include "Twips.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <unistd.h>
#include <utility>
#include <vector>
#include <xcb/xcb.h>

namespace {

// Qt shows a file name that is not UTF-8 with stand-ins and then refuses it
// as missing, since the stand-ins name no file; the file it shows is there
// all the same, and the launcher finds it by what Qt showed.
class OpenFileDialog : public QFileDialog {
  public:
    using QFileDialog::QFileDialog;

  protected:
    void accept() override {
        const QStringList files = selectedFiles();
        if (fileMode() == ExistingFile && files.size() == 1 && !QFileInfo::exists(files[0]) &&
            ::access(fileNameOfShown(files[0]).constData(), F_OK) == 0)
            QDialog::accept();
        else
            QFileDialog::accept();
    }
};

qreal screenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}

// Makes a menu opened with flags 0 answer only to the left button.
class LeftButtonOnly : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override {
        const auto type = event->type();
        if (type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonPress)
            return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        return false;
    }
};

// Qt's XEmbed tray icon is a small window of its own that reports the right
// button as it goes down; the menu belongs to the release over the icon.
class RightReleaseOnIcon : public QObject {
  public:
    RightReleaseOnIcon(QObject* parent, std::function<void()> released)
        : QObject(parent), released_(std::move(released)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonRelease)
            return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* icon = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::RightButton &&
            icon->rect().contains(mouse->position().toPoint()))
            released_();
        return false;
    }

  private:
    std::function<void()> released_;
};

// Qt's XEmbed icon is a top-level widget of its own, the one standing where
// the icon says it stands; a StatusNotifierItem has no place on the screen.
// Qt names no such widget, so where the place does not find it, its class
// name does (Qt 6.4 and 6.8 alike; the tray test fails when neither does).
QWidget* xembedIconWindow(const QSystemTrayIcon& tray) {
    const QRect place = tray.geometry();
    if (!place.isValid())
        return nullptr;
    const QWidgetList windows = QApplication::topLevelWidgets();
    auto found = std::find_if(windows.begin(), windows.end(), [&](QWidget* w) {
        return w->isVisible() && QRect(w->mapToGlobal(QPoint(0, 0)), w->size()) == place;
    });
    if (found == windows.end())
        found = std::find_if(windows.begin(), windows.end(), [](QWidget* w) {
            return w->objectName() == QLatin1String("QSystemTrayIconSys");
        });
    return found == windows.end() ? nullptr : *found;
}

// Qt marks a window it minimises to start iconic and keeps the mark when the
// window manager restores the window (from the window list, say): hidden
// into the tray, the window would come back from there minimised.
void startNormalWhenShownAgain(QWidget* window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !window || window->isMinimized())
        return;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    const auto cookie =
        xcb_get_property(connection, 0, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    constexpr quint32 StateHint = 1 << 1, NormalState = 1;
    if (!reply || reply->format != 32 || reply->value_len < 3)
        return;
    const auto* value = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
    std::vector<quint32> hints(value, value + reply->value_len);
    if ((hints[0] & StateHint) && hints[2] != NormalState) {
        hints[2] = NormalState;
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS,
                            XCB_ATOM_WM_HINTS, 32, hints.size(), hints.data());
        xcb_flush(connection);
    }
}

// A window manager cuts a title that does not fit beside the window's icon
// and buttons: openbox showed a message box as narrow as "そこは違います"
// with the title "T…". Such a box is made as wide as its title needs.
int widthForTitle(const QWidget& window) {
    QFont titleFont = window.font();
    titleFont.setBold(true);
    constexpr int IconAndButtons = 120; // the icon, minimise and close, their gaps
    return QFontMetrics(titleFont).horizontalAdvance(window.windowTitle()) + IconAndButtons;
}

// A message box sizes itself to its text; the room goes to the text.
void widenForTitle(QMessageBox& box) {
    auto* text = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!text)
        return;
    const QMargins margins = box.layout() ? box.layout()->contentsMargins() : QMargins();
    text->setMinimumWidth(widthForTitle(box) - margins.left() - margins.right());
}

} // namespace

QtPlatform::QtPlatform() {
    TrayHostPosition::listen();
}

QtPlatform::~QtPlatform() {
    delete tray_;
}

void QtPlatform::messageBox(const QString& prompt, int, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? Texts::Title : title, prompt,
                    QMessageBox::Ok);
    box.setAccessibleName(box.windowTitle());
    widenForTitle(box);
    box.exec();
}

QString QtPlatform::inputBox(const QString& prompt, const QString& title) {
    QInputDialog dialog;
    dialog.setWindowTitle(title);
    dialog.setAccessibleName(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(QString());
    dialog.setMinimumWidth(widthForTitle(dialog));
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

bool QtPlatform::getOpenFileName(OPENFILENAME& record) {
    const QString initial = bufferText(record.lpstrInitialDir);
    const QString fileName = bufferText(record.lpstrFile);
    OpenFileDialog dialog(QWidget::find(record.hwndOwner), bufferText(record.lpstrTitle));
    dialog.setAccessibleName(dialog.windowTitle());
    dialog.setFileMode((record.Flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                          : QFileDialog::AnyFile);
    dialog.setNameFilters(nameFiltersOf(record.lpstrFilter));
    // The initial folder may hold a whole path from the previous use: open
    // in its folder, with the file name field as the record left it.
    const QFileInfo start(initial.isEmpty() ? QDir::currentPath() : initial);
    dialog.setDirectory(start.isDir() ? start.absoluteFilePath() : start.absolutePath());
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    return storeChosenFile(record, dialog.selectedFiles().constFirst());
}

int QtPlatform::shellExecute(QWidget* owner, const QString&, const QString& file,
                             const QByteArray& undecoded) {
    // A program that cannot be started is known only once the launch, left
    // to run on its own, has ended: it reports then.
    const QPointer<QWidget> window(owner);
    return shellOpen(file, undecoded, [this, window] {
        if (window)
            messageBox(Texts::FileMissing, 0, Texts::Title);
    });
}

void QtPlatform::prepareShellExecute() {
    prepareShellOpen();
}

bool QtPlatform::shellNotifyIcon(quint32 message, const NOTIFYICONDATA& data) {
    if (message == NIM_ADD)
        return addTrayIcon(data);
    if (message != NIM_DELETE || !tray_)
        return false;
    tray_->hide();
    tray_->deleteLater();
    tray_.clear();
    return true;
}

bool QtPlatform::addTrayIcon(const NOTIFYICONDATA& data) {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    // One icon per window and id: a second add keeps the icon that is there.
    const bool isNew = !tray_;
    if (isNew)
        createTrayIcon(data);
    tray_->setToolTip(QString::fromLatin1(data.szTip, qstrnlen(data.szTip, sizeof data.szTip)));
    tray_->show();
    if (isNew)
        followTrayKind(data.hWnd, data.uCallbackMessage);
    startNormalWhenShownAgain(QWidget::find(data.hWnd));
    return tray_->isVisible();
}

// Qt decides as it builds the icon whether it is a StatusNotifierItem on the
// bus or an XEmbed icon window (Qt 6.4 once per process, by whether a host
// was there the first time; Qt 6.8 for each icon, by whether a watcher is),
// so the icon that is there says which it is. Asking the bus beside Qt could
// tell otherwise when a panel starts after the launcher: two menus, or a
// click that restores nothing.
void QtPlatform::followTrayKind(HWND window, quint32 callback) {
    QWidget* icon = xembedIconWindow(*tray_);
    statusNotifierItem_ = !tray_->geometry().isValid();
    // Hosts that draw the item's menu themselves (Xfce's panel, Plasma)
    // need it published on the bus, which the host reads once back in the
    // event loop; an XEmbed tray reports the click and the window shows the
    // menu, which a menu set here would double.
    if (statusNotifierItem_ && trayMenu_)
        tray_->setContextMenu(trayMenu_);
    if (icon)
        watchRightRelease(icon, window, callback);
}

void QtPlatform::createTrayIcon(const NOTIFYICONDATA& data) {
    tray_ = new QSystemTrayIcon(data.hIcon);
    const HWND window = data.hWnd;
    const quint32 callback = data.uCallbackMessage;
    QObject::connect(tray_, &QSystemTrayIcon::activated, tray_, [=, this](auto reason) {
        if (reason == QSystemTrayIcon::Context && statusNotifierItem_) {
            // The menu opens where the host asked, if it said.
            trayMenuPosition_ = TrayHostPosition::take();
            deliverTrayNotification(window, callback, WM_RBUTTONUP);
        } else if (reason == QSystemTrayIcon::Context && !rightReleaseWatcher_) {
            deliverTrayNotification(window, callback, WM_RBUTTONUP);
        } else if (reason == QSystemTrayIcon::DoubleClick ||
                   // A host reports an activation as one trigger, never a double-click.
                   (reason == QSystemTrayIcon::Trigger && statusNotifierItem_)) {
            deliverTrayNotification(window, callback, WM_LBUTTONDBLCLK);
        }
    });
}

// Without the icon window the press opens the menu, as Qt reports it.
void QtPlatform::watchRightRelease(QWidget* icon, HWND window, quint32 callback) {
    rightReleaseWatcher_ = new RightReleaseOnIcon(
        tray_, [=, this] { deliverTrayNotification(window, callback, WM_RBUTTONUP); });
    icon->installEventFilter(rightReleaseWatcher_);
}

// Posted, not sent: the icon's own mouse handler is still running, and the
// window's answer may take the icon away ("戻す", "閉じる", a double-click),
// which deletes the widget under that handler.
void QtPlatform::deliverTrayNotification(HWND window, quint32 message, qintptr code) {
    if (QWidget* target = QWidget::find(window))
        QCoreApplication::postEvent(target, new TrayCallbackEvent(message, code));
}

void QtPlatform::setTrayMenu(QMenu* menu) {
    trayMenu_ = menu;
}

void QtPlatform::setTopmost(QWidget* window) {
    // Changing window flags hides a shown window, so show it afterwards.
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window->show();
}

void QtPlatform::popupMenu(QMenu* menu, int flags, std::optional<QPoint> at) {
    LeftButtonOnly leftOnly;
    if ((flags & 2) == 0)
        menu->installEventFilter(&leftOnly);
    const std::optional<QPoint> hostPosition =
        menu == trayMenu_ ? std::exchange(trayMenuPosition_, std::nullopt) : std::nullopt;
    menu->exec(at.value_or(hostPosition.value_or(QCursor::pos())));
    menu->removeEventFilter(&leftOnly);
}

QRect QtPlatform::screenRectTwips() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const qreal dpi = screenDpi();
    const QRect pixels = workArea_.primary();
    return {pixelsToTwips(pixels.x(), dpi), pixelsToTwips(pixels.y(), dpi),
            pixelsToTwips(pixels.width(), dpi), pixelsToTwips(pixels.height(), dpi)};
}

// The frame as the native window knows it. A widget learns its frame only
// from a move or resize of its own; a window manager that frames the window
// where it already stands sends neither, and the widget goes on reporting
// no frame at all (Qt 6.8, a window moved right after it was shown).
QSize QtPlatform::outerSizeTwips(QWidget* window) {
    const qreal dpi = screenDpi();
    const QWindow* native = window->windowHandle();
    const QSize pixels = native ? native->frameGeometry().size() : window->frameGeometry().size();
    return {pixelsToTwips(pixels.width(), dpi), pixelsToTwips(pixels.height(), dpi)};
}

void QtPlatform::moveWindowTwips(QWidget* window, int left, int top) {
    const qreal dpi = screenDpi();
    const QPoint frame(twipsToPixels(left, dpi), twipsToPixels(top, dpi));
    // The record's left and top are the frame's. A shown window asks the
    // window manager to put the frame there; a widget's move() would place
    // the client by the frame it last heard of, none before the first move.
    if (QWindow* native = window->windowHandle())
        moveFrameTo(native, frame);
    else
        window->move(frame);
}

QString QtPlatform::appPath() {
    return QCoreApplication::applicationDirPath();
}

QString QtPlatform::userSettingsFolder() {
    // The generic folder, not the application's: the name stays lower case
    // whatever the application name says.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("tovlan"));
}

void QtPlatform::endProgram() {
    QCoreApplication::exit(0);
}
