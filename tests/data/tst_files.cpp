// The list and settings file formats byte for byte, and a rewrite killed at
// any moment, and the order of a rewrite's syncs. Started with --rewrite,
// this program is the process that gets killed or traced.
#include "ErrorNumbers.h"
#include "FaultInjection.h"
#include "SafeWrite.h"
#include "Settings.h"
#include "SettingsLocation.h"
#include "ShortcutList.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QThread>
#include <cstdio>

namespace {

const char RewriteFlag[] = "--rewrite";

// Whole versions differ in size and text, so a cut one matches none of them.
QByteArray version(int v, int pathLength) {
    QStringList values;
    for (int slot = 1; slot <= QList{1, 7, 30, 64, 99}[v]; ++slot)
        values << QString("版%1の%2番").arg(v).arg(slot) << QString(pathLength, QChar('a' + v));
    return listBytes(values);
}

} // namespace

class FilesTest : public QObject {
    Q_OBJECT
  private slots:
    void settingsFile_data();
    void settingsFile();
    void settingsLocation();
    void rewriteLeavesAWholeVersionOnDisk_data();
    void rewriteLeavesAWholeVersionOnDisk();
};

// Each row reads a file and writes it back unchanged.
void FilesTest::settingsFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("values"); // start-up list, quick files 1 to 4, corner code
    QTest::addColumn<QByteArray>("rewritten");
    auto add = [](const QByteArray& tag, const QByteArray& bytes, const QString& startup,
                  const QStringList& quickFiles, int corner, const QByteArray& rewritten) {
        QTest::newRow(tag.constData())
            << bytes << QStringList{startup} + quickFiles + QStringList{QString::number(corner)}
            << rewritten;
    };
    const QStringList abcd{"A", "B", "C", "D"}, none{"", "", "", ""};
    QStringList differing;
    for (int group = 1; group <= 4; ++group)
        differing << QString("S%1").arg(group) << abcd[group - 1] << QString::number(group);
    // A corner without spaces is written back without them.
    add("fourth group counts", listBytes(differing), "S4", abcd, 4, settingsBytes("S4", abcd, "4"));
    const QByteArray full = settingsBytes("S", abcd, " 3 ");
    add("0 lines", "", "", none, 0, settingsBytes("", none, ""));
    add("11 lines", full.chopped(5), "S", abcd, 0, settingsBytes("S", abcd, ""));
    add("13 lines", full + "x\r\n", "S", abcd, 3, full);
    const QString odd = "  C:\\a, b\\ファイル.xxa";
    const QStringList oddQuickFiles{odd, "", "", "q"};
    const QByteArray oddBytes = settingsBytes(odd, oddQuickFiles, "1");
    add("commas and leading spaces kept", oddBytes, odd, oddQuickFiles, 1, oddBytes);
    auto withQuick2 = [](const QByteArray& bytes) {
        return "l\r\n\r\n1\r\nl\r\n" + bytes + "\r\n1\r\nl\r\n\r\n1\r\nl\r\n\r\n1\r\n";
    };
    // A code page 932 one: userPaths(start:bytes ... F3:OK) of tst_launcher.
    const QByteArray utf8 = "\xEF\xBB\xBF" + withQuick2(QString("ホ").toUtf8() + "\xFF.xxa");
    add("undecodable byte kept, UTF-8", utf8, "l", {"", "ホ\uFFFD.xxa", "", ""}, 1, utf8);
}

void FilesTest::settingsFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, values);
    QFETCH(QByteArray, rewritten);
    ScopedTempCwd cwd;
    writeBytes("s.ini", bytes);
    Settings read;
    QCOMPARE(readSettingsFile("s.ini", read), ErrorNumber::None);
    QCOMPARE(QStringList{read.startupListPath} +
                 QStringList(read.quickFiles.begin(), read.quickFiles.end()) +
                 QStringList{QString::number(cornerCode(read))},
             values);
    QCOMPARE(writeSettingsFile("s.ini", read), ErrorNumber::None);
    QCOMPARE(readBytes("s.ini"), rewritten);
}

// Where the settings are read and written: beside a program whose folder the
// user may write (never under /usr), else in the user's own folder, reading a
// file that came with the program until the user has a copy.
void FilesTest::settingsLocation() {
    // program folder, writable, settings files there (p: program's, u: user's); read, write
    const std::tuple<QString, bool, QString, QString> rows[] = {{"opt", true, "pu", "pp"},
                                                                {"/usr/lib/tovlan", true, "", "uu"},
                                                                {"opt", false, "p", "pu"},
                                                                {"opt", false, "pu", "uu"},
                                                                {"opt", false, "", "uu"}};
    for (const auto& [program, writable, files, readWrite] : rows) {
        ScopedTempCwd cwd;
        const QString folder = program.startsWith('/') ? program : cwd.file(program);
        const QString p = settingsFilePath(folder), u = settingsFilePath(cwd.path());
        QDir().mkpath(cwd.file("opt"));
        if (files.contains('p'))
            writeBytes(p, "x\r\n");
        if (files.contains('u'))
            writeBytes(u, "x\r\n");
        const SettingsLocation at = ::settingsLocation(folder, writable, cwd.path());
        QCOMPARE(QString(at.readFrom == p ? "p" : "u") + (at.writeTo == p ? "p" : "u"), readWrite);
    }
}

// Another process rewrites a list again and again and is killed at random
// moments: a reader always gets one whole version, never a mix of two, never
// one cut short. A list with a second name is rewritten in place; readers
// then take the whole copy kept beside it while it exists. And a rewrite
// reported as done is on disk: its system calls show the new contents (or
// the whole copy of the old) synced before a rename puts them in place, the
// folder after it.
void FilesTest::rewriteLeavesAWholeVersionOnDisk_data() {
    QTest::addColumn<int>("pathLength"); // in place, long enough that a kill can cut a write
    QTest::newRow("replaced by rename") << 100;
    QTest::newRow("rewritten in place") << 3000;
}

void FilesTest::rewriteLeavesAWholeVersionOnDisk() {
    QFETCH(int, pathLength);
    ScopedTempCwd cwd;
    QList<QByteArray> whole;
    for (int v = 0; v < 5; ++v)
        whole << version(v, pathLength);
    writeBytes("l.xxa", whole.last());
    QVERIFY(pathLength < 1000 || addSecondName("l.xxa", "other.xxa"));
    const QStringList rewrite{QCoreApplication::applicationFilePath(), RewriteFlag,
                              QString::number(pathLength)};
    const QStringList trace{
        "-qq", "-y",   "-e", "signal=none", "-e", "trace=fsync,fdatasync,rename,renameat,renameat2",
        "-o",  "trace"};
    // Not its status: a sanitizer's leak check fails under a tracer. The calls tell.
    QProcess::execute("strace", trace + rewrite + QStringList{"1"});
    QString calls = QString::fromUtf8(readBytes("trace")).replace(QDir::currentPath(), "{dir}");
    calls.replace(QRegularExpression(R"(\.\w{6}(?=[>"]))"), ".new")
        .remove(QRegularExpression(R"(\d+<|[>"]| *= 0)"));
    const QString replaced = "fsync({dir}/l.xxa.new)\nrename({dir}/l.xxa.new, {dir}/l.xxa)\n";
    const QString copied =
        "fsync({dir}/l.xxa.tovlan-backup.new)\nrename({dir}/l.xxa.tovlan-backup.new, "
        "{dir}/l.xxa.tovlan-backup)\nfsync({dir})\nfsync({dir}/l.xxa)\n";
    QCOMPARE(calls, (pathLength < 1000 ? replaced : copied) + "fsync({dir})\n");
    QSet<qsizetype> seen;
    for (int kill = 1; kill <= 60; ++kill) {
        QProcess writer;
        writer.start(rewrite[0], rewrite.mid(1));
        QVERIFY(writer.waitForReadyRead(10000));
        QThread::usleep(QRandomGenerator::global()->bounded(100000));
        writer.kill();
        QVERIFY(writer.waitForFinished(10000));
        ShortcutList read;
        QCOMPARE(ReadShortcutList("l.xxa", read), ErrorNumber::None);
        QStringList values;
        for (int slot = 1; slot <= read.count; ++slot)
            values << read.entries[slot].name << read.entries[slot].path;
        seen << whole.indexOf(listBytes(values));
        QVERIFY2(!seen.contains(-1), qPrintable(QString("kill %1: no whole version").arg(kill)));
    }
    QVERIFY(seen.size() > 1); // the kills landed in different rewrites
}

int main(int argc, char** argv) {
    if (argc >= 3 && qstrcmp(argv[1], RewriteFlag) == 0) {
        std::puts("writing");
        std::fflush(stdout);
        for (int i = 0; argc == 3 || i < std::atoi(argv[3]); ++i)
            if (writeWholeFile(QByteArray("l.xxa"), version(i % 5, std::atoi(argv[2]))) !=
                ErrorNumber::None)
                return 1;
        return 0;
    }
    // In memory, where syncs cost nothing, a kill lands inside a write as
    // often as between writes.
    if (QFileInfo("/dev/shm").isWritable())
        qputenv("TMPDIR", "/dev/shm");
    QCoreApplication app(argc, argv);
    FilesTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_files.moc"
