#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Small helpers for tests that work on real files in a temporary folder.

// Code page 932 bytes of a text, for writing fixtures that hold Japanese.
QByteArray cp932(const QString& text);

QByteArray readBytes(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);
// A file named by bytes, which need not be UTF-8.
void makeFile(const QByteArray& path, const QByteArray& content = {}, bool executable = false);

// A list file's bytes: each pair of values as name and path lines, CR LF.
QByteArray listBytes(const QStringList& namesAndPaths);

// A settings file's bytes: four groups of start-up list, quick file i, corner.
QByteArray settingsBytes(const QString& startup, const QStringList& quickFiles,
                         const QString& corner);

// Names and paths of numbered entries: 名前1, /bin/1, 名前2, /bin/2, ...
QStringList numberedValues(int entries);

// Chdir into a fresh temporary folder for the lifetime of the object, since
// list paths without a folder resolve against the current directory.
class ScopedTempCwd {
  public:
    ScopedTempCwd() { QDir::setCurrent(dir_.path()); }
    ~ScopedTempCwd() { QDir::setCurrent(previous_); }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

  private:
    QString previous_ = QDir::currentPath();
    QTemporaryDir dir_;
};
