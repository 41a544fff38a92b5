#pragma once

#include "LauncherDialog.h"
#include "ShortcutList.h"

#include <functional>

class QComboBox;

// "消去": removes one picked shortcut from the launcher's current list file.
class Form2 : public LauncherDialog {
    Q_OBJECT
  public:
    // publishedListPath: the launcher's list path as it is now, as the file
    // system names the file. The dialog asks again at every load, so a
    // reload after a deletion shows the list the launcher works with by then.
    Form2(Platform& platform, std::function<QByteArray()> publishedListPath);

  private slots:
    void pickEntry(int listIndex);  // Combo1
    void deleteEntry();             // Command1 "消去"
    void closeAndRefreshLauncher(); // Command2 "閉じる"

  private:
    // Centres the dialog and shows the list file the launcher publishes now.
    // Runs at the opening and again after every deletion.
    void Form_Load();
    void buildControls();
    QString deletePicked();

    QComboBox* Combo1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

    std::function<QByteArray()> publishedListPath_;
    QByteArray listPath_;
    ShortcutList list_;
    // The slot of the entry picked in the list shown now; 0 for none. Every
    // load clears it, so a deletion never acts on a pick from an older list.
    int pickedSlot_ = 0;
};
