#pragma once

#include "ErrorNumbers.h"
#include "TextCodec.h"

#include <QString>
#include <array>

// The launcher's settings: twelve lines, four groups of start-up list path,
// quick file i and corner code. The last group's start-up path and corner
// count when reading; writers repeat them in every group.
struct Settings {
    QString startupListPath;
    std::array<QString, 4> quickFiles;
    // The corner line as it was read (" 4 ", "4", "", "x"), so a writer that
    // never changed the corner writes it back in the same form.
    QString cornerText;
    TextEncoding encoding = TextEncoding::Cp932;
    // The bytes each value had in the file (for the start-up path and the
    // corner, those of the group that counts). A rewrite puts them back while
    // the text still matches them, so a byte the encoding cannot decode in a
    // value nobody changed survives, as in a list file.
    QByteArray rawStartupListPath;
    std::array<QByteArray, 4> rawQuickFiles;
    QByteArray rawCornerText;
};

// 1 top-left, 2 bottom-left, 3 top-right, 4 bottom-right; 0 for no corner.
int cornerCode(const Settings& settings);
// Stores the code in the written number form: " 4 ".
void setCornerCode(Settings& settings, int code);

QString settingsFilePath(const QString& appPath);

[[nodiscard]] ErrorNumber readSettingsFile(const QString& path, Settings& settings);
[[nodiscard]] ErrorNumber writeSettingsFile(const QString& path, const Settings& settings);
