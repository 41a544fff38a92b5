#pragma once

#include "FakePlatform.h"
#include "Form1.h"
#include "TestFiles.h"

#include <QStringList>
#include <memory>

class QComboBox;

// The texts a combo box shows, in order.
QStringList comboItems(const QComboBox* combo);

// A launcher on the fake platform, started in a fresh temporary folder that
// is both the program's folder and the current directory.
struct LauncherFixture {
    ScopedTempCwd cwd;
    FakePlatform platform;
    std::unique_ptr<Form1> launcher;

    // Settings beside the program, or, with a program folder the user may not
    // write as in a system install, in the user's own folder.
    explicit LauncherFixture(bool systemInstall = false);

    QString settingsFile() const;
    // Writes 設定.ini: start-up list, quick files 1..4, corner line.
    void writeSettings(const QString& startupList, const QStringList& quickFiles = {},
                       const QString& corner = QString());
    void writeList(const QString& name, const QStringList& namesAndPaths);
    Form1& start();

    // The user's paths, so a wiring fault cannot hide behind a direct call.
    // Triggers the launcher's menu item with this object name ("sk7", "Modosu").
    void trigger(const char* action);
    // Opens オプション ("sk7") or 消去 ("sk2") from the menu; the window it shows.
    QWidget& openDialog(const char* action);
};

// A shown top-level window by object name ("Form3"), or nullptr.
QWidget* topLevel(const char* objectName);
// The window's child of that object name and type; fails the run if missing.
template <typename T> T* find(QWidget& window, const char* name) {
    auto* widget = window.findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("%s has no %s", qPrintable(window.objectName()), name);
    return widget;
}
// Clicks the named button of a window with the mouse.
void click(QWidget& window, const char* button);
// Replaces the named box's text as typing through the input method would.
void type(QWidget& window, const char* box, const QString& text);
// Picks the entry at index in the named combo box as the list's click does.
void choose(QWidget& window, const char* combo, int index);
