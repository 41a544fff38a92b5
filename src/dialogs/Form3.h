#pragma once

#include "Daiarog.h"
#include "LauncherDialog.h"
#include "SettingsLocation.h"
#include "ShortcutList.h"

class QGroupBox;
class QLineEdit;

// "オプション": registers shortcuts at the end of the launcher's current list
// file, and sets the start-up list and the four quick files.
class Form3 : public LauncherDialog {
    Q_OBJECT
  public:
    // listPath: the launcher's list path when the dialog opens, as the file
    // system names the file.
    Form3(Platform& platform, const QByteArray& listPath);

    // Puts a shortcut into the registration boxes, as if typed, for the user
    // to register with "登録".
    void fillRegistration(const QString& name, const QString& path);

  private slots:
    void registerShortcut(); // Command1 "登録"
    void saveAndClose();     // OK
                             // Command2, 3, 5, 7, 8, 9 ".": browse into Text2 .. Text7; Command10
                             // "Close" closes.

  private:
    // Opening: centring, settings into the boxes, the list.
    void Form_Load();
    void buildRegistrationFrame();
    void buildStartupFrame();
    void buildQuickFileFrame();
    void buildButtons();
    void setTabOrderByIndex();
    void connectControls();

    void LoadSettingsToDialog();
    void SaveSettingsFromDialog();
    SettingsLocation settingsFiles();
    [[nodiscard]] ErrorNumber readList();
    QString refusalToRegister();
    void browseInto(QLineEdit* box, const QString& filter);

    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr;
    QLineEdit* Text6 = nullptr;
    QLineEdit* Text7 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command8 = nullptr;
    QPushButton* Command9 = nullptr;
    QPushButton* OK = nullptr;
    QPushButton* Command10 = nullptr;

    // The list file registrations go to: the launcher's published list path
    // when the dialog opened.
    QByteArray listPath_;
    // The dialog's copy of that list, read again before every registration.
    ShortcutList list_;
    Settings settings_;
    Daiarog::OpenFileRecord openFileRecord_;
};
