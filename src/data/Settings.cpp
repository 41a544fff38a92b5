#include "Settings.h"

#include "ErrorNumbers.h"
#include "LineFile.h"

#include <QDir>

namespace {

constexpr int SettingsLines = 12;

// Reads the next line as one whole value, commas and leading spaces included.
// A line the file lacks reads as an empty value: a short file still gives
// what it holds.
int readValue(LineReader& reader, TextEncoding encoding, QString& value) {
    QByteArray line;
    if (!reader.atEnd()) {
        if (const int failure = reader.readLine(line))
            return failure;
    }
    value = decodeText(line, encoding);
    return ErrorNumber::None;
}

} // namespace

int cornerCode(const Settings& settings) {
    bool isNumber = false;
    const int code = settings.cornerText.trimmed().toInt(&isNumber);
    return isNumber && code >= 1 && code <= 4 ? code : 0;
}

void setCornerCode(Settings& settings, int code) {
    // The numeric print form: the sign's place before the digits, a space after.
    const QString sign = code < 0 ? QString() : QStringLiteral(" ");
    settings.cornerText = sign + QString::number(code) + u' ';
}

QString settingsFilePath(const QString& appPath) {
    return QDir(appPath).filePath(QStringLiteral("設定.ini"));
}

// The record changes only when the whole file was read.
int ReadSettingsFile(const QString& path, Settings& settings) {
    LineReader reader;
    if (const int failure = reader.open(path, SettingsLines))
        return failure;
    Settings read;
    read.encoding = reader.encoding();
    // Each group overwrites the start-up path and the corner, so the fourth
    // group's are the ones that count.
    for (QString& quickFile : read.quickFiles) {
        for (QString* value : {&read.startupListPath, &quickFile, &read.cornerText}) {
            if (const int failure = readValue(reader, read.encoding, *value))
                return failure;
        }
    }
    settings = read;
    return ErrorNumber::None;
}

int WriteSettingsFile(const QString& path, const Settings& settings) {
    LineWriter writer(settings.encoding);
    for (const QString& quickFile : settings.quickFiles) {
        writer.add(settings.startupListPath, TextRole::Path);
        writer.add(quickFile, TextRole::Path);
        writer.add(settings.cornerText, TextRole::Path);
    }
    return writer.writeTo(path);
}
