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

    void showMessage(const QString& text) override;
    QString askText(const QString& prompt) override;
    std::optional<QString> chooseFileToOpen(QWidget* owner, const QString& title,
                                            const QStringList& nameFilters,
                                            const QString& start) override;
    OpenResult openTarget(QWidget* owner, const QString& target,
                          const QByteArray& undecoded) override;
    void prepareToOpen() override;
    bool showTrayIcon(QWidget* window) override;
    void hideTrayIcon() override;
    void setTrayMenu(QMenu* menu) override;
    void setTopmost(QWidget* window) override;
    void popupMenu(QMenu* menu, MenuButtons choosing, std::optional<QPoint> at) override;
    QRect screenRectTwips() override;
    QSize outerSizeTwips(QWidget* window) override;
    void moveWindowTwips(QWidget* window, int left, int top) override;
    QString appPath() override;
    QString userSettingsFolder() override;
    void endProgram() override;

  private:
    void createTrayIcon(const QIcon& icon);
    void followTrayKind();
    void watchRightRelease(QWidget* icon);
    void reportTrayClick(TrayClick click);

    QPointer<QSystemTrayIcon> tray_;
    QPointer<QMenu> trayMenu_;
    bool statusNotifierItem_ = false;       // what Qt built for the icon shown
    QPointer<QObject> rightReleaseWatcher_; // goes with the icon
    std::optional<QPoint> trayMenuPosition_;
    WorkArea workArea_;
};
