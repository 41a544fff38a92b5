#include "LauncherFixture.h"

#include "SafeWrite.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

LauncherFixture::LauncherFixture(bool systemInstall) {
    prepareProcessForWrites(); // as main does
    // A folder that does not exist is one nobody may write into, root included.
    platform.programFolder = systemInstall ? cwd.file(QStringLiteral("lib/tovlan")) : cwd.path();
    platform.userFolder = cwd.file(QStringLiteral("home/.config/tovlan"));
}

QString LauncherFixture::settingsFile() const {
    const bool beside = platform.programFolder == cwd.path();
    return QDir(beside ? cwd.path() : platform.userFolder).filePath(QStringLiteral("設定.ini"));
}

void LauncherFixture::writeSettings(const QString& startupList, const QStringList& quickFiles,
                                    const QString& corner) {
    QDir().mkpath(QFileInfo(settingsFile()).path());
    writeBytes(settingsFile(), settingsBytes(startupList, quickFiles, corner));
}

void LauncherFixture::writeList(const QString& name, const QStringList& namesAndPaths) {
    writeBytes(cwd.file(name), listBytes(namesAndPaths));
}

Form1& LauncherFixture::start() {
    launcher = std::make_unique<Form1>(platform);
    launcher->Form_Load();
    return *launcher;
}

QStringList comboItems(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

void LauncherFixture::trigger(const char* action) {
    find<QAction>(*launcher, action)->trigger();
}

QWidget& LauncherFixture::openDialog(const char* action) {
    trigger(action);
    QWidget* dialog = topLevel(qstrcmp(action, "sk7") == 0 ? "Form3" : "Form2");
    if (!dialog)
        qFatal("%s showed no dialog", action);
    return *dialog;
}

QWidget* topLevel(const char* objectName) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String(objectName) && window->isVisible())
            return window;
    return nullptr;
}

void click(QWidget& window, const char* button) {
    QTest::mouseClick(find<QPushButton>(window, button), Qt::LeftButton);
}

void type(QWidget& window, const char* box, const QString& text) {
    auto* edit = find<QLineEdit>(window, box);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    // Japanese arrives from the input method as committed text, not as keys.
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(edit, &commit);
}

void choose(QWidget& window, const char* combo, int index) {
    auto* box = find<QComboBox>(window, combo);
    box->setCurrentIndex(index);
    emit box->activated(index);
}
