#pragma once

#include "LauncherMenus.h"
#include "SettingsLocation.h"
#include "ShortcutList.h"
#include "Win32Records.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class Platform;
class QComboBox;
class QPushButton;
class Form2;
class Form3;
class LauncherDialog;
class RePlaceOnFrameChange;

// The launcher: a small topmost window with the shortcut names and a run
// button, placed in a screen corner. Closing it never ends the program: it
// hides into the task tray and reloads its list.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(Platform& platform, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: file dialog record, topmost, settings, list, quick files, corner.
    void Form_Load();

    // Handlers, public so the tests can drive them as the user would.
    void Combo1_Click(int listIndex);
    void Command1_Click();
    void new_Click();
    void sk13_Click();
    void sk7_Click();
    void sk2_Click();
    void corner_Click(int code);
    void quickFile_Click(int number);
    void sk4_Click();
    void hyouzi_Click();
    void Modosu_Click();
    void Toziru_Click();
    // The tray icon's callback: notification code 517 or 515.
    void trayNotification(qintptr lParam);

    // Command1.Tag: the list path the dialogs open.
    QString command1Tag() const { return command1Tag_; }
    QString currentListPath() const { return currentListPath_; }
    int pickedPosition() const { return pickedPosition_; }
    const Settings& settings() const { return settings_; }
    const ShortcutList& shortcutList() const { return list_; }
    const OPENFILENAME& openFileRecord() const { return openFileRecord_; }
    const NOTIFYICONDATA& trayRecord() const { return trayRecord_; }
    const LauncherMenus& menus() const { return menus_; }
    QComboBox* combo() const { return combo1_; }
    QPushButton* runButton() const { return command1_; }
    Form3* optionsDialog() const;
    Form2* deleteDialog() const;
    Platform& platform() const { return platform_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void buildControls();
    void connectControls();
    void loadSettings();
    bool saveSettings();
    SettingsLocation settingsFiles();
    void loadShortcutList();
    std::optional<ShortcutEntry> pickedEntry() const;
    void keepPickIfStillThere(const std::optional<ShortcutEntry>& picked);
    void showQuickFileItems();
    void moveToCorner(int code);
    void tickCorner(int code);
    void showPopupMenu(std::optional<QPoint> at = {});
    void showPopupMenuFromKeyboard();
    void restoreFromTray();
    void connectDialog(LauncherDialog* dialog);

    Platform& platform_;
    QComboBox* combo1_ = nullptr;
    QPushButton* command1_ = nullptr;
    LauncherMenus menus_;
    RePlaceOnFrameChange* placement_ = nullptr;

    OPENFILENAME openFileRecord_;
    NOTIFYICONDATA trayRecord_;
    Settings settings_;
    ShortcutList list_;
    QString currentListPath_;
    QString command1Tag_;
    int pickedPosition_ = 0;
    int shellResult_ = 0;

    QPointer<Form3> form3_;
    QPointer<Form2> form2_;
};
