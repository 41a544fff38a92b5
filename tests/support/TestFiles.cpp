#include "TestFiles.h"

#include "TextCodec.h"

#include <QFile>
#include <QStringEncoder>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

QByteArray cp932(const QString& text) {
    QStringEncoder encoder(Cp932Name, QStringConverter::Flag::Stateless);
    return encoder(text);
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write test fixture %s", qPrintable(path));
}

void makeFile(const QByteArray& path, const QByteArray& content, bool executable) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, executable ? 0700 : 0600);
    QVERIFY(::write(fd, content.constData(), content.size()) == content.size() && ::close(fd) == 0);
}

QByteArray listBytes(const QStringList& namesAndPaths) {
    QByteArray bytes;
    for (const QString& value : namesAndPaths)
        bytes += cp932(value) + "\r\n";
    return bytes;
}

QByteArray settingsBytes(const QString& startup, const QStringList& quickFiles,
                         const QString& corner) {
    QStringList values;
    for (int i = 0; i < 4; ++i)
        values << startup << quickFiles.value(i) << corner;
    return listBytes(values);
}

QStringList numberedValues(int entries) {
    QStringList values;
    for (int i = 1; i <= entries; ++i)
        values << QStringLiteral("名前%1").arg(i) << QStringLiteral("/bin/%1").arg(i);
    return values;
}
