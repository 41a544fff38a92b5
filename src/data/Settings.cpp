#include "Settings.h"

#include "LineFile.h"

#include <QDir>
#include <QFile>
#include <utility>

namespace {

constexpr int SettingsLines = 12;

// Reads the next line into text and raw, its bytes, as one whole value,
// commas and leading spaces included. A line the file lacks reads as an empty
// value: a short file still gives what it holds.
ErrorNumber readValue(LineReader& reader, TextEncoding encoding, QString& text, QByteArray& raw) {
    QByteArray line;
    if (!reader.atEnd()) {
        if (const ErrorNumber failure = reader.readLine(line); failure != ErrorNumber::None)
            return failure;
    }
    text = decodeText(line, encoding);
    raw = line;
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
ErrorNumber readSettingsFile(const QString& path, Settings& settings) {
    LineReader reader;
    if (const ErrorNumber failure = reader.open(QFile::encodeName(path), SettingsLines);
        failure != ErrorNumber::None)
        return failure;
    Settings read;
    read.encoding = reader.encoding();
    // Each group overwrites the start-up path and the corner, so the fourth
    // group's are the ones that count.
    for (int i = 0; i < int(read.quickFiles.size()); ++i) {
        const std::pair<QString*, QByteArray*> values[] = {
            {&read.startupListPath, &read.rawStartupListPath},
            {&read.quickFiles[i], &read.rawQuickFiles[i]},
            {&read.cornerText, &read.rawCornerText}};
        for (const auto& [value, raw] : values) {
            if (const ErrorNumber failure = readValue(reader, read.encoding, *value, *raw);
                failure != ErrorNumber::None)
                return failure;
        }
    }
    settings = read;
    return ErrorNumber::None;
}

ErrorNumber writeSettingsFile(const QString& path, const Settings& settings) {
    LineWriter writer(settings.encoding);
    for (int i = 0; i < int(settings.quickFiles.size()); ++i) {
        writer.add(settings.startupListPath, TextRole::Path, settings.rawStartupListPath);
        writer.add(settings.quickFiles[i], TextRole::Path, settings.rawQuickFiles[i]);
        writer.add(settings.cornerText, TextRole::Path, settings.rawCornerText);
    }
    return writer.writeTo(QFile::encodeName(path));
}
