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
    QStringList comboItems() const;
    QByteArray settingsBytes() const;
};
