#include "LauncherFixture.h"

#include <QComboBox>

void LauncherFixture::writeSettings(const QString& startupList, const QStringList& quickFiles,
                                    const QString& corner) {
    QStringList lines;
    for (int i = 0; i < 4; ++i)
        lines << startupList << quickFiles.value(i) << corner;
    writeBytes(cwd.file(QStringLiteral("設定.ini")), listBytes(lines));
}

void LauncherFixture::writeList(const QString& name, const QStringList& namesAndPaths) {
    writeBytes(cwd.file(name), listBytes(namesAndPaths));
}

Form1& LauncherFixture::start() {
    launcher = std::make_unique<Form1>(platform);
    launcher->Form_Load();
    return *launcher;
}

QStringList LauncherFixture::comboItems() const {
    QStringList items;
    for (int i = 0; i < launcher->combo()->count(); ++i)
        items << launcher->combo()->itemText(i);
    return items;
}

QByteArray LauncherFixture::settingsBytes() const {
    return readBytes(cwd.file(QStringLiteral("設定.ini")));
}
