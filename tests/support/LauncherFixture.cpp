#include "LauncherFixture.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>

LauncherFixture::LauncherFixture(bool systemInstall) {
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
    QStringList lines;
    for (int i = 0; i < 4; ++i)
        lines << startupList << quickFiles.value(i) << corner;
    QDir().mkpath(QFileInfo(settingsFile()).path());
    writeBytes(settingsFile(), listBytes(lines));
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

QStringList LauncherFixture::comboItems() const {
    return ::comboItems(launcher->combo());
}

QByteArray LauncherFixture::settingsBytes() const {
    return readBytes(settingsFile());
}
