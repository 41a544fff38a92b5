#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What both fuzz targets share: a private folder for the file under test and
// the way a broken promise is reported. The readers take a path, so every
// input goes through a real file, as a user's file would.

// A folder for the run, in memory where the system offers one, since each
// input is written and read several times.
inline const QTemporaryDir& fuzzFolder() {
    static const QTemporaryDir folder([] {
        const QString shm = QStringLiteral("/dev/shm");
        const QString base = QFileInfo(shm).isWritable() ? shm : QDir::tempPath();
        return base + QStringLiteral("/tovlan-fuzz-XXXXXX");
    }());
    return folder;
}

inline QString fuzzFile(const QString& name) {
    return fuzzFolder().filePath(name);
}

inline void writeInput(const QString& path, const uint8_t* data, size_t size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
        std::fprintf(stderr, "cannot write the input to %s\n", qPrintable(path));
        std::abort();
    }
}

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// libFuzzer keeps the input that made the process abort, so a broken promise
// is an abort with a line that says which one.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
