#pragma once

#include "Platform.h"
#include "WorkArea.h"

#include <QPointer>
#include <optional>

class QSystemTrayIcon;

// The desktop under the program: Qt's dialogs, screen and tray, GIO.
class QtPlatform : public Platform {
  public:
    QtPlatform();
    ~QtPlatform() override;

    void messageBox(const QString& prompt, int style, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title) override;
    bool getOpenFileName(OPENFILENAME& record) override;
    int shellExecute(QWidget* owner, const QString& operation, const QString& file,
                     const QByteArray& undecoded) override;
    void prepareShellExecute() override;
    bool shellNotifyIcon(quint32 message, const NOTIFYICONDATA& data) override;
    void setTrayMenu(QMenu* menu) override;
    void setTopmost(QWidget* window) override;
    void popupMenu(QMenu* menu, int flags, std::optional<QPoint> at) override;
    QRect screenRectTwips() override;
    QSize outerSizeTwips(QWidget* window) override;
    void moveWindowTwips(QWidget* window, int left, int top) override;
    QString appPath() override;
    QString userSettingsFolder() override;
    void endProgram() override;

  private:
    bool addTrayIcon(const NOTIFYICONDATA& data);
    void createTrayIcon(const NOTIFYICONDATA& data);
    void followTrayKind(HWND window, quint32 callback);
    void watchRightRelease(QWidget* icon, HWND window, quint32 callback);
    void deliverTrayNotification(HWND window, quint32 message, qintptr code);

    QPointer<QSystemTrayIcon> tray_;
    QPointer<QMenu> trayMenu_;
    bool statusNotifierItem_ = false;       // what Qt built for the icon shown
    QPointer<QObject> rightReleaseWatcher_; // goes with the icon
    std::optional<QPoint> trayMenuPosition_;
    WorkArea workArea_;
};
