#include "QtPlatform.h"

#include "FileName.h"
#include "FramePosition.h"
#include "ShellOpen.h"
#include "Texts.h"
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

// Makes a menu answer only to the left button.
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

void QtPlatform::showMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, Texts::Title, text, QMessageBox::Ok);
    box.setAccessibleName(box.windowTitle());
    widenForTitle(box);
    box.exec();
}

QString QtPlatform::askText(const QString& prompt) {
    QInputDialog dialog;
    dialog.setWindowTitle(Texts::Title);
    dialog.setAccessibleName(Texts::Title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(QString());
    dialog.setMinimumWidth(widthForTitle(dialog));
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

std::optional<QString> QtPlatform::chooseFileToOpen(QWidget* owner, const QString& title,
                                                    const QStringList& nameFilters,
                                                    const QString& start) {
    OpenFileDialog dialog(owner, title);
    dialog.setAccessibleName(title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters);
    const QFileInfo place(start.isEmpty() ? QDir::currentPath() : start);
    if (place.isDir()) {
        dialog.setDirectory(place.absoluteFilePath());
    } else {
        dialog.setDirectory(place.absolutePath());
        dialog.selectFile(place.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

OpenResult QtPlatform::openTarget(QWidget* owner, const QString& target,
                                  const QByteArray& undecoded) {
    // A program that cannot be started is known only once the launch, left
    // to run on its own, has ended: it reports then.
    const QPointer<QWidget> window(owner);
    return shellOpen(target, undecoded, [this, window] {
        if (window)
            showMessage(Texts::FileMissing);
    });
}

void QtPlatform::prepareToOpen() {
    prepareShellOpen();
}

bool QtPlatform::showTrayIcon(QWidget* window) {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    const bool isNew = !tray_;
    if (isNew)
        createTrayIcon(window->windowIcon());
    tray_->setToolTip(Texts::Title);
    tray_->show();
    if (isNew)
        followTrayKind();
    startNormalWhenShownAgain(window);
    return tray_->isVisible();
}

void QtPlatform::hideTrayIcon() {
    if (!tray_)
        return;
    tray_->hide();
    tray_->deleteLater();
    tray_.clear();
}

// Qt decides as it builds the icon whether it is a StatusNotifierItem on the
// bus or an XEmbed icon window (Qt 6.4 once per process, by whether a host
// was there the first time; Qt 6.8 for each icon, by whether a watcher is),
// so the icon that is there says which it is. Asking the bus beside Qt could
// tell otherwise when a panel starts after the launcher: two menus, or a
// click that restores nothing.
void QtPlatform::followTrayKind() {
    QWidget* icon = xembedIconWindow(*tray_);
    statusNotifierItem_ = !tray_->geometry().isValid();
    // Hosts that draw the item's menu themselves (Xfce's panel, Plasma)
    // need it published on the bus, which the host reads once back in the
    // event loop; an XEmbed tray reports the click and the window shows the
    // menu, which a menu set here would double.
    if (statusNotifierItem_ && trayMenu_)
        tray_->setContextMenu(trayMenu_);
    if (icon)
        watchRightRelease(icon);
}

void QtPlatform::createTrayIcon(const QIcon& icon) {
    tray_ = new QSystemTrayIcon(icon);
    QObject::connect(tray_, &QSystemTrayIcon::activated, tray_, [this](auto reason) {
        if (reason == QSystemTrayIcon::Context && statusNotifierItem_) {
            // The menu opens where the host asked, if it said.
            trayMenuPosition_ = TrayHostPosition::take();
            reportTrayClick(TrayClick::RightButtonUp);
        } else if (reason == QSystemTrayIcon::Context && !rightReleaseWatcher_) {
            reportTrayClick(TrayClick::RightButtonUp);
        } else if (reason == QSystemTrayIcon::DoubleClick ||
                   // A host reports an activation as one trigger, never a double-click.
                   (reason == QSystemTrayIcon::Trigger && statusNotifierItem_)) {
            reportTrayClick(TrayClick::DoubleClick);
        }
    });
}

// Without the icon window the press opens the menu, as Qt reports it.
void QtPlatform::watchRightRelease(QWidget* icon) {
    rightReleaseWatcher_ =
        new RightReleaseOnIcon(tray_, [this] { reportTrayClick(TrayClick::RightButtonUp); });
    icon->installEventFilter(rightReleaseWatcher_);
}

// Queued, not emitted here: the icon's own mouse handler is still running,
// and the window's answer may take the icon away ("戻す", "閉じる", a
// double-click), which deletes the widget under that handler.
void QtPlatform::reportTrayClick(TrayClick click) {
    QMetaObject::invokeMethod(
        this, [this, click] { Q_EMIT trayIconClicked(click); }, Qt::QueuedConnection);
}

void QtPlatform::setTrayMenu(QMenu* menu) {
    trayMenu_ = menu;
}

void QtPlatform::setTopmost(QWidget* window) {
    // Changing window flags hides a shown window, so show it afterwards.
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window->show();
}

void QtPlatform::popupMenu(QMenu* menu, MenuButtons choosing, std::optional<QPoint> at) {
    LeftButtonOnly leftOnly;
    if (choosing == MenuButtons::Left)
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
