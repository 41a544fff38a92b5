#include "ErrorNumbers.h"
#include "FaultInjection.h"
#include "SafeWrite.h"
#include "ShortcutList.h"
#include "TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

ShortcutEntry entry(const QString& name, const QString& path) {
    return {name, path, {}, {}};
}

} // namespace

class ShortcutListTest : public QObject {
    Q_OBJECT

  private slots:
    void writesCrLfInCp932();
    void readsByLineRules_data();
    void readsByLineRules();
    void failedEditKeepsOldFileAndTable_data();
    void failedEditKeepsOldFileAndTable();
    void removeMovesLaterEntriesDown();
    void untouchedEntriesKeepTheirBytes();
    void utf8ListStaysUtf8_data();
    void utf8ListStaysUtf8();
    void hugeFileFailsFast();
};

void ShortcutListTest::writesCrLfInCp932() {
    ScopedTempCwd cwd;
    // Through a symlink: the file it names is replaced and the link stays.
    QDir().mkdir("real");
    QVERIFY(QFile::link("real/a.xxa", "a.xxa"));
    ShortcutList list;
    // Display names take the Windows forms of what Japanese input on Linux gives.
    QCOMPARE(AppendShortcutEntry("a.xxa", list, entry(u"〜‖−¢£¬"_s, u"C:\\ソフト\\表.exe"_s)), 0);
    QCOMPARE(AppendShortcutEntry("a.xxa", list, entry({}, u"x"_s)), 0);
    QCOMPARE(readBytes("real/a.xxa"),
             listBytes({u"～∥－￠￡￢"_s, u"C:\\ソフト\\表.exe"_s, {}, u"x"_s}));
    QVERIFY(QFileInfo("a.xxa").isSymLink());
    QCOMPARE(list.count, 2);
    QCOMPARE(WriteShortcutList("a.xxa", list, 0), 0);
    QVERIFY(QFile::exists("a.xxa"));
    QCOMPARE(readBytes("a.xxa"), QByteArray());
}

void ShortcutListTest::readsByLineRules_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("values"); // name and path of slots 1, 2, ...
    const QString file = u"list.xxa"_s;
    const QStringList ab{u"a"_s, u"b"_s};
    const QStringList japanese{u"表"_s, u"C:\\ソフト\\表.exe"_s};
    QTest::newRow("cr lf") << file << listBytes(japanese + ab) << 0 << 2 << japanese + ab;
    QTest::newRow("lone cr") << file << QByteArray("a\rb\rc\rd") << 0 << 2
                             << QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s};
    QTest::newRow("lone lf stays")
        << file << QByteArray("a\nx\r\nb\r\n") << 0 << 1 << QStringList{u"a\nx"_s, u"b"_s};
    QTest::newRow("no last line end") << file << QByteArray("a\r\nb") << 0 << 1 << ab;
    QTest::newRow("bad bytes") << file << QByteArray("a\x85\x40z\r\nx\x81") << 0 << 1
                               << QStringList{u"a\uFFFDz"_s, u"x\uFFFD"_s};
    QTest::newRow("odd line count") << file << QByteArray("a\r\nb\r\nc")
                                    << ErrorNumber::InputPastEnd << 2 << ab + QStringList{u"c"_s};
    QTest::newRow("one blank line after") << file << QByteArray("a\r\nb\r\n\r\n")
                                          << ErrorNumber::InputPastEnd << 2 << ab + QStringList{{}};
    QTest::newRow("two blank lines after")
        << file << QByteArray("a\r\nb\r\n\r\n\r\n") << 0 << 2 << ab + QStringList{{}, {}};
    QTest::newRow("empty file") << file << QByteArray() << 0 << 0 << QStringList();
    const QStringList odd{u" a, \"b\" "_s, u"  C:\\x, y.exe "_s};
    QTest::newRow("commas spaces quotes") << file << listBytes(odd) << 0 << 1 << odd;
    QTest::newRow("99 entries") << file << listBytes(numberedValues(99)) << 0 << 99
                                << numberedValues(99);
    QTest::newRow("100 entries") << file << listBytes(numberedValues(100)) << ErrorNumber::NoSlot
                                 << 100 << numberedValues(99);
    QTest::newRow("line too long") << file << QByteArray("a\r\nb\r\n").append(40000, 'x')
                                   << ErrorNumber::BadFileFormat << 2 << ab;
    QTest::newRow("missing file") << u"none.xxa"_s << QByteArray() << ErrorNumber::FileNotFound << 0
                                  << QStringList();
    QTest::newRow("empty path") << QString() << QByteArray() << ErrorNumber::PathFileAccess << 0
                                << QStringList();
    QTest::newRow("folder") << u"."_s << QByteArray() << ErrorNumber::PathFileAccess << 0
                            << QStringList();
}

void ShortcutListTest::readsByLineRules() {
    QFETCH(QString, path);
    QFETCH(QByteArray, bytes);
    QFETCH(int, error);
    QFETCH(int, count);
    QFETCH(QStringList, values);
    ScopedTempCwd cwd;
    writeBytes("list.xxa", bytes);
    ShortcutList list;
    list.count = 5;
    for (ShortcutEntry& earlier : list.entries)
        earlier = entry(u"earlier"_s, u"earlier"_s);
    QCOMPARE(ReadShortcutList(path, list), error);
    QCOMPARE(list.count, count);
    for (int i = 0; i < values.size(); ++i) {
        const ShortcutEntry& read = list.entries[i / 2 + 1];
        QCOMPARE(i % 2 ? read.path : read.name, values[i]);
    }
    // A read never clears the table.
    const int firstUnread = (values.size() + 1) / 2 + 1;
    if (firstUnread < ShortcutSlots)
        QCOMPARE(list.entries[firstUnread].name, u"earlier"_s);
}

void ShortcutListTest::failedEditKeepsOldFileAndTable_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");
    const QString name = u"新規"_s, path = u"C:\\新規.exe"_s;
    QTest::newRow("fails at open")
        << int(WriteFault::AtOpen) << name << path << ErrorNumber::PermissionDenied;
    QTest::newRow("fails in middle")
        << int(WriteFault::InMiddle) << name << path << ErrorNumber::DiskFull;
    QTest::newRow("fails at commit")
        << int(WriteFault::AtCommit) << name << path << ErrorNumber::PathFileAccess;
    QTest::newRow("system refuses the size")
        << -1 << QString(5000, u'x') << path << ErrorNumber::DiskFull;
    QTest::newRow("read-only folder") << -2 << name << path << ErrorNumber::PermissionDenied;
    QTest::newRow("emoji") << 0 << u"猫😺"_s << path << ErrorNumber::CannotEncode;
    QTest::newRow("line break") << 0 << u"a\rb"_s << path << ErrorNumber::CannotEncode;
    QTest::newRow("look-alike in a path") << 0 << name << u"C:\\〜"_s << ErrorNumber::CannotEncode;
}

void ShortcutListTest::failedEditKeepsOldFileAndTable() {
    QFETCH(int, fault);
    QFETCH(QString, name);
    QFETCH(QString, path);
    QFETCH(int, error);
    if (fault == -2 && geteuid() == 0)
        QSKIP("folder permissions do not stop root");
    ScopedTempCwd cwd;
    const QByteArray old = listBytes(numberedValues(2));
    writeBytes("list.xxa", old);
    ShortcutList list;
    QCOMPARE(ReadShortcutList("list.xxa", list), 0);
    const ShortcutList before = list;

    setWriteFaultForTesting(fault > 0 ? WriteFault(fault) : WriteFault::None);
    std::optional<ScopedFileSizeLimit> limit;
    if (fault == -1)
        limit.emplace(4096);
    if (fault == -2)
        QFile::setPermissions(cwd.path(), QFile::ReadOwner | QFile::ExeOwner);
    const int appended = AppendShortcutEntry("list.xxa", list, entry(name, path));
    const int removed = fault > 0 ? RemoveShortcutEntry("list.xxa", list, 1) : error;
    limit.reset();
    QFile::setPermissions(cwd.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setWriteFaultForTesting(WriteFault::None);

    QCOMPARE(appended, error);
    QCOMPARE(removed, error);
    QCOMPARE(readBytes("list.xxa"), old);
    QCOMPARE(QDir().entryList(QDir::Files), QStringList{u"list.xxa"_s});
    QCOMPARE(list.count, 2);
    for (int slot = 1; slot <= 3; ++slot)
        QCOMPARE(list.entries[slot].name, before.entries[slot].name);
}

void ShortcutListTest::removeMovesLaterEntriesDown() {
    ScopedTempCwd cwd;
    writeBytes("list.xxa", listBytes(numberedValues(3)));
    ShortcutList list;
    QCOMPARE(ReadShortcutList("list.xxa", list), 0);
    QCOMPARE(RemoveShortcutEntry("list.xxa", list, 0), ErrorNumber::InvalidCall);
    QCOMPARE(RemoveShortcutEntry("list.xxa", list, 4), ErrorNumber::InvalidCall);
    QCOMPARE(RemoveShortcutEntry("list.xxa", list, 2), 0);
    QStringList expected = numberedValues(3);
    expected.remove(2, 2);
    QCOMPARE(readBytes("list.xxa"), listBytes(expected));
    QCOMPARE(list.count, 2);
    QCOMPARE(list.entries[2].name, u"名前3"_s);
}

void ShortcutListTest::untouchedEntriesKeepTheirBytes() {
    ScopedTempCwd cwd;
    const QByteArray damaged = "a\x85\x40z\r\nC:\\\x80.exe\r\n";
    writeBytes("list.xxa", damaged + listBytes({u"二"_s, u"p"_s}));
    ShortcutList list;
    QCOMPARE(ReadShortcutList("list.xxa", list), 0);
    list.entries[2].name = u"三"_s;
    QCOMPARE(AppendShortcutEntry("list.xxa", list, entry(u"四"_s, u"q"_s)), 0);
    QCOMPARE(readBytes("list.xxa"), damaged + listBytes({u"三"_s, u"p"_s, u"四"_s, u"q"_s}));
}

void ShortcutListTest::utf8ListStaysUtf8_data() {
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("utf-8") << QByteArray();
    QTest::newRow("with byte order mark") << QByteArray("\xEF\xBB\xBF");
}

void ShortcutListTest::utf8ListStaysUtf8() {
    QFETCH(QByteArray, start);
    ScopedTempCwd cwd;
    writeBytes("list.xxa", start + u"名前\r\n/ホーム\r\n"_s.toUtf8());
    ShortcutList list;
    QCOMPARE(ReadShortcutList("list.xxa", list), 0);
    QCOMPARE(list.entries[1].path, u"/ホーム"_s);
    QCOMPARE(AppendShortcutEntry("list.xxa", list, entry(u"😺"_s, u"/x"_s)), 0);
    QCOMPARE(readBytes("list.xxa"), start + u"名前\r\n/ホーム\r\n😺\r\n/x\r\n"_s.toUtf8());
}

void ShortcutListTest::hugeFileFailsFast() {
    ScopedTempCwd cwd;
    QFile huge("huge.xxa");
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(200) << 20));
    huge.close();
    writeBytes("lines.xxa", QByteArray(1'000'000, '\r'));
    QElapsedTimer timer;
    timer.start();
    ShortcutList list;
    QCOMPARE(ReadShortcutList("huge.xxa", list), ErrorNumber::BadFileFormat);
    QCOMPARE(ReadShortcutList("lines.xxa", list), ErrorNumber::NoSlot);
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_GUILESS_MAIN(ShortcutListTest)
#include "tst_shortcutlist.moc"
