#include "Form2.h"

#include "ErrorNumbers.h"
#include "Form1.h"

#include <QComboBox>

Form2::Form2(Platform& platform, Form1& launcher)
    : LauncherDialog(platform, launcher, QStringLiteral("消去"), QSize(2205, 810)),
      launcher_(launcher) {
    setObjectName(QStringLiteral("Form2"));
    buildControls();
    connect(Combo1, &QComboBox::activated, this, &Form2::Combo1_Click);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
}

void Form2::buildControls() {
    // Not editable: only a name picked from the list names an entry.
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setAccessibleName(QStringLiteral("消去するショートカット"));
    placeTwips(Combo1, {0, 120, 2175, 300});

    Command1 = addButton(this, "Command1", QStringLiteral("消去"), {720, 480, 735, 255});
    Command2 = addButton(this, "Command2", QStringLiteral("閉じる"), {1440, 480, 735, 255});

    setTabOrder(Combo1, Command1);
    setTabOrder(Command1, Command2);
    Combo1->setFocus();
}

void Form2::Form_Load() {
    centreOnScreen();
    listPath_ = launcher_.command1Tag();
    Combo1->clear();
    pickedSlot_ = 0;
    list_ = ShortcutList();
    const int error = ReadShortcutList(listPath_, list_);
    if (error == ErrorNumber::None) {
        for (int slot = 1; slot <= list_.count; ++slot)
            Combo1->addItem(list_.entries[slot].name);
        // Adding items selects the first; nothing is picked until the user picks.
        Combo1->setCurrentIndex(-1);
    } else if (error == ErrorNumber::PathFileAccess) {
        showMessage(DialogText::ReadError);
    }
}

void Form2::Combo1_Click(int listIndex) {
    pickedSlot_ = listIndex >= 0 && listIndex < Combo1->count() ? listIndex + 1 : 0;
}

// Reads the file as it is now: the pick still means the same entry only if
// the same name and path stand at the same place.
bool Form2::pickedEntryStillThere(ShortcutList& onDisk) const {
    if (ReadShortcutList(listPath_, onDisk) != ErrorNumber::None || onDisk.count < pickedSlot_)
        return false;
    const ShortcutEntry& now = onDisk.entries[pickedSlot_];
    const ShortcutEntry& shown = list_.entries[pickedSlot_];
    return now.name == shown.name && now.path == shown.path;
}

void Form2::Command1_Click() {
    if (pickedSlot_ == 0) {
        showMessage(DialogText::NotThere);
        return;
    }
    // When the file changed under the dialog nothing is deleted; the reload
    // shows the list as it is now, to pick again.
    ShortcutList onDisk;
    if (pickedEntryStillThere(onDisk) &&
        RemoveShortcutEntry(listPath_, onDisk, pickedSlot_) != ErrorNumber::None)
        showMessage(DialogText::WriteError);
    Form_Load();
}

void Form2::Command2_Click() {
    // The launcher refuses the close, goes to the tray and reloads its list;
    // this dialog's own closing then brings it back into view.
    launcher_.close();
    close();
}
