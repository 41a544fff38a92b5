#include "QtPlatform.h"

#include "OpenFileRecord.h"
#include "ShellOpen.h"
#include "TrayCallbackEvent.h"
#include "Twips.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSystemTrayIcon>

namespace {

qreal screenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}

// Hosts that speak StatusNotifierItem (KDE Plasma, GNOME's AppIndicator
// extension) report an activation as a single trigger and never a
// double-click; there the trigger has to count as the double-click.
bool trayHostSpeaksStatusNotifier() {
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(watcher))
        return false;
    QDBusInterface iface(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
    return iface.property("IsStatusNotifierHostRegistered").toBool();
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

} // namespace

QtPlatform::QtPlatform() = default;

QtPlatform::~QtPlatform() {
    delete tray_;
}

void QtPlatform::messageBox(const QString& prompt, int, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? QStringLiteral("Tovlan") : title, prompt,
                    QMessageBox::Ok);
    box.setAccessibleName(box.windowTitle());
    box.exec();
}

QString QtPlatform::inputBox(const QString& prompt, const QString& title) {
    QInputDialog dialog;
    dialog.setWindowTitle(title);
    dialog.setAccessibleName(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(QString());
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

bool QtPlatform::getOpenFileName(OPENFILENAME& record) {
    const QString initial = bufferText(record.lpstrInitialDir);
    const QString fileName = bufferText(record.lpstrFile);
    QFileDialog dialog(QWidget::find(record.hwndOwner), bufferText(record.lpstrTitle));
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
            messageBox(QStringLiteral("ファイルが存在しません"), 0, QStringLiteral("Tovlan"));
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
    if (!tray_) {
        tray_ = new QSystemTrayIcon(data.hIcon);
        const HWND window = data.hWnd;
        const quint32 callback = data.uCallbackMessage;
        const bool triggerIsActivation = trayHostSpeaksStatusNotifier();
        QObject::connect(tray_, &QSystemTrayIcon::activated, tray_,
                         [this, window, callback, triggerIsActivation](auto reason) {
                             if (reason == QSystemTrayIcon::Context)
                                 deliverTrayNotification(window, callback, WM_RBUTTONUP);
                             else if (reason == QSystemTrayIcon::DoubleClick ||
                                      (reason == QSystemTrayIcon::Trigger && triggerIsActivation))
                                 deliverTrayNotification(window, callback, WM_LBUTTONDBLCLK);
                         });
    }
    tray_->setToolTip(QString::fromLatin1(data.szTip, qstrnlen(data.szTip, sizeof data.szTip)));
    tray_->show();
    return tray_->isVisible();
}

// Posted, not sent: the icon's own mouse handler is still running, and the
// window's answer may take the icon away ("戻す", "閉じる", a double-click),
// which deletes the widget under that handler.
void QtPlatform::deliverTrayNotification(HWND window, quint32 message, qintptr code) {
    if (QWidget* target = QWidget::find(window))
        QCoreApplication::postEvent(target, new TrayCallbackEvent(message, code));
}

void QtPlatform::setTopmost(QWidget* window) {
    // Changing window flags hides a shown window, so show it afterwards.
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window->show();
}

void QtPlatform::popupMenu(QMenu* menu, int flags) {
    LeftButtonOnly leftOnly;
    if ((flags & 2) == 0)
        menu->installEventFilter(&leftOnly);
    menu->exec(QCursor::pos());
    menu->removeEventFilter(&leftOnly);
}

QSize QtPlatform::screenSizeTwips() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const qreal dpi = screenDpi();
    const QSize pixels = screen->geometry().size();
    return {pixelsToTwips(pixels.width(), dpi), pixelsToTwips(pixels.height(), dpi)};
}

QSize QtPlatform::outerSizeTwips(QWidget* window) {
    const qreal dpi = screenDpi();
    const QSize pixels = window->frameGeometry().size();
    return {pixelsToTwips(pixels.width(), dpi), pixelsToTwips(pixels.height(), dpi)};
}

void QtPlatform::moveWindowTwips(QWidget* window, int left, int top) {
    const qreal dpi = screenDpi();
    // move() places a top-level window's frame, as the record's left and top mean.
    window->move(twipsToPixels(left, dpi), twipsToPixels(top, dpi));
}

QString QtPlatform::appPath() {
    return QCoreApplication::applicationDirPath();
}

void QtPlatform::endProgram() {
    QCoreApplication::exit(0);
}
