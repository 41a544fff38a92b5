#include "Form2.h"

#include "FileLock.h"
#include "Texts.h"

#include <QComboBox>
#include <QPushButton>

Form2::Form2(Platform& platform, std::function<QByteArray()> publishedListPath)
    : LauncherDialog(platform, Texts::Delete, QSize(2205, 810)),
      publishedListPath_(std::move(publishedListPath)) {
    setObjectName(QStringLiteral("Form2"));
    buildControls();
    connect(Combo1, &QComboBox::activated, this, &Form2::pickEntry);
    connect(Command1, &QPushButton::clicked, this, &Form2::deleteEntry);
    connect(Command2, &QPushButton::clicked, this, &Form2::closeAndRefreshLauncher);
    Form_Load();
}

void Form2::buildControls() {
    // Not editable: only a name picked from the list names an entry.
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setAccessibleName(QStringLiteral("消去するショートカット"));
    placeTwips(Combo1, {0, 120, 2175, 300});

    Command1 = addButton(this, "Command1", Texts::Delete, {720, 480, 735, 255});
    Command2 = addButton(this, "Command2", Texts::Close, {1440, 480, 735, 255});

    setTabOrder(Combo1, Command1);
    setTabOrder(Command1, Command2);
    Combo1->setFocus();
}

void Form2::Form_Load() {
    centreOnScreen();
    listPath_ = publishedListPath_();
    Combo1->clear();
    pickedSlot_ = 0;
    list_ = ShortcutList();
    const ErrorNumber error = ReadShortcutList(listPath_, list_);
    if (error == ErrorNumber::None) {
        for (int slot = 1; slot <= list_.count; ++slot)
            Combo1->addItem(list_.entries[slot].name);
        // Adding items selects the first; nothing is picked until the user picks.
        Combo1->setCurrentIndex(-1);
    } else if (error == ErrorNumber::PathFileAccess) {
        platform_.showMessage(Texts::ReadError);
    }
}

void Form2::pickEntry(int listIndex) {
    pickedSlot_ = listIndex >= 0 && listIndex < Combo1->count() ? listIndex + 1 : 0;
}

void Form2::deleteEntry() {
    if (pickedSlot_ == 0) {
        platform_.showMessage(Texts::NotThere);
        return;
    }
    const QString failure = deletePicked();
    // The list as it is now, to pick again if nothing was deleted.
    Form_Load();
    if (!failure.isEmpty())
        platform_.showMessage(failure);
}

// Deletes the picked entry if the file still holds it where the dialog shows
// it: the same name and path at the same place. The lock keeps another
// launcher from changing the file between this reading and the writing.
// Answers the message for the user, or the empty text.
QString Form2::deletePicked() {
    FileLock lock;
    if (lock.lock(listPath_) != ErrorNumber::None)
        return Texts::WriteError;
    ShortcutList onDisk;
    const ErrorNumber readFailure = ReadShortcutList(listPath_, onDisk);
    // A file that cannot be read at all: the reload that follows says so.
    if (readFailure == ErrorNumber::PathFileAccess)
        return QString();
    if (readFailure != ErrorNumber::None || onDisk.count < pickedSlot_)
        return Texts::NotThere;
    const ShortcutEntry& now = onDisk.entries[pickedSlot_];
    const ShortcutEntry& shown = list_.entries[pickedSlot_];
    if (now.name != shown.name || now.path != shown.path)
        return Texts::NotThere;
    if (RemoveShortcutEntry(listPath_, onDisk, pickedSlot_) != ErrorNumber::None)
        return Texts::WriteError;
    return QString();
}

void Form2::closeAndRefreshLauncher() {
    // The launcher refuses the close, goes to the tray and reloads its list;
    // this dialog's own closing then brings it back into view.
    emit launcherCloseRequested();
    close();
}
