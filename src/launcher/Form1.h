#pragma once

#include "Daiarog.h"
#include "LauncherMenus.h"
#include "Platform.h"
#include "SettingsLocation.h"
#include "ShortcutList.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class QComboBox;
class QPushButton;
class Form2;
class Form3;
class LauncherDialog;
class RePlaceOnFrameChange;

// The launcher: a small topmost window with the shortcut names and a run
// button, placed in a screen corner. Closing it never ends the program: it
// hides into the task tray and reloads its list.
//
// Its controls and menu items keep their object names; the handlers have
// names that say what they do:
//   handler            object      caption               what it does
//   pickEntry          Combo1      (a display name)      remembers the picked position
//   runPicked          Command1    実行                  opens the picked entry's target
//   startNewList       new         新規作成              asks a name, switches to <name>.xxa
//   openListFile       sk13        開く                  picks a list file and loads it
//   showOptions        sk7         オプション            opens Form3
//   showDeleteDialog   sk2         消去                  opens Form2
//   chooseCorner       sk9..sk12   左上 左下 右上 右下   moves there, ticks it, saves it
//   openQuickFile      sk15..sk18  (the file's path)     loads quick file 1..4
//   goToTray           hyouzi      タスクトレイに入れる  hides behind a tray icon
//   quit               sk4         閉じる                ends the program
//   restoreFromTray    Modosu      戻す                  shows the window, removes the icon
//   quitFromTray       Toziru      閉じる                removes the icon, ends the program
//   answerTrayClick    (tray icon) right-up / double     opens tasukumenu / restores
class Form1 : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(Platform& platform, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: file dialog record, topmost, settings, list, quick files, corner.
    void Form_Load();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

  private slots:
    void pickEntry(int listIndex);
    void runPicked();
    void startNewList();
    void openListFile();
    void showOptions();
    void showDeleteDialog();
    void chooseCorner(int code);
    void openQuickFile(int number);
    void goToTray();
    void quit();
    void restoreFromTray();
    void quitFromTray();
    void answerTrayClick(TrayClick click);

  private:
    void buildControls();
    void connectControls();
    void LoadSettings();
    bool SaveSettings();
    SettingsLocation settingsFiles();
    void LoadShortcutList();
    std::optional<ShortcutEntry> pickedEntry() const;
    void keepPickIfStillThere(const std::optional<ShortcutEntry>& picked);
    void showQuickFileItems();
    void moveToCorner(int code);
    void tickCorner(int code);
    void showPopupMenu(std::optional<QPoint> at = {});
    void showPopupMenuFromKeyboard();
    void connectDialog(LauncherDialog* dialog);

    Platform& platform_;
    QComboBox* Combo1 = nullptr;
    QPushButton* Command1 = nullptr;
    LauncherMenus menus_;
    RePlaceOnFrameChange* placement_ = nullptr;

    Daiarog::OpenFileRecord openFileRecord_;
    Settings settings_;
    ShortcutList list_;
    // List paths are the bytes that name their file (fileNameOnDisk), never
    // text encoded again: another file may bear the encoded name.
    QByteArray currentListPath_;
    QByteArray command1Tag_;
    int pickedPosition_ = 0;

    QPointer<Form3> form3_;
    QPointer<Form2> form2_;
};
