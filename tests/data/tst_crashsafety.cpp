// A list file that another process rewrites again and again, killed with
// SIGKILL at random moments, always reads as one whole version: never a mix
// of two, never cut short. The same program, started with --rewrite-forever,
// is that other process. A list with one name is replaced by rename; a list
// with a second name is rewritten in place, and while the whole copy kept
// beside it exists, that copy is what readers read.
//
// A kill can leave behind the temporary file of a replacement or of a whole
// copy that had not been renamed yet ("list.xxa.XXXXXX",
// "list.xxa.tovlan-backup.XXXXXX"). It is garbage that nothing reads; the
// test counts such files and checks that a kill leaves at most one. A power
// cut is another matter, which a kill cannot show.
#include "ErrorNumbers.h"
#include "FaultInjection.h"
#include "SafeWrite.h"
#include "ShortcutList.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

const char RewriteFlag[] = "--rewrite-forever";
// Under AddressSanitizer each start of the rewriting process costs a few
// tenths of a second; fewer kills there still run every step of the test.
#if defined(__SANITIZE_ADDRESS__)
constexpr int Kills = 20;
#else
constexpr int Kills = 100;
#endif
// Whole versions differ in size and text, so a cut one matches none of them.
constexpr std::array<int, 5> EntryCounts = {1, 7, 30, 64, 99};

// In place, a write of long paths spans many pages, so a kill can cut it
// short; by rename, short ones keep the test quick.
ShortcutList version(int v, int pathLength) {
    ShortcutList list;
    list.count = EntryCounts[v];
    for (int slot = 1; slot <= list.count; ++slot) {
        list.entries[slot].name = QString("版%1の%2番").arg(v).arg(slot);
        list.entries[slot].path =
            QString("/opt/版%1/%2").arg(v).arg(QString(pathLength, QChar(u'a' + slot % 26)));
    }
    return list;
}

// The bytes of a version, made without the writer under test.
QByteArray versionBytes(int v, int pathLength) {
    const ShortcutList list = version(v, pathLength);
    QStringList values;
    for (int slot = 1; slot <= list.count; ++slot)
        values << list.entries[slot].name << list.entries[slot].path;
    return listBytes(values);
}

// The child: writes the versions in turn, each shorter than the one before
// but for the first, until it is killed; says so on stdout once the first
// write is done.
int rewriteForever(const QString& path, int pathLength) {
    std::array<ShortcutList, EntryCounts.size()> versions;
    for (int v = 0; v < int(versions.size()); ++v)
        versions[v] = version(v, pathLength);
    for (int i = 0;; ++i) {
        const ShortcutList& list = versions[versions.size() - 1 - i % versions.size()];
        if (WriteShortcutList(path, list, list.count) != ErrorNumber::None)
            return 1;
        if (i == 0) {
            std::puts("writing");
            std::fflush(stdout);
        }
    }
}

QStringList leftovers(const QString& folder) {
    QStringList names = QDir(folder).entryList({"list.xxa.*"}, QDir::Files | QDir::Hidden);
    names.removeAll("list.xxa.tovlan-backup");
    return names;
}

// What a reader gets: the whole copy while there is one, else the file.
QByteArray readable(const QString& list) {
    const QString copy = wholeCopyPath(list);
    return readBytes(QFile::exists(copy) ? copy : list);
}

} // namespace

class CrashSafetyTest : public QObject {
    Q_OBJECT
  private slots:
    void killedRewriteLeavesAWholeVersion_data();
    void killedRewriteLeavesAWholeVersion();
};

void CrashSafetyTest::killedRewriteLeavesAWholeVersion_data() {
    QTest::addColumn<bool>("secondName");
    QTest::addColumn<int>("pathLength");
    // Each rewrite syncs, and one in place also copies, so the kills are
    // spread over enough time to land in different rewrites.
    QTest::addColumn<int>("killWithinMs");
    QTest::newRow("replaced by rename") << false << 100 << 50;
    QTest::newRow("rewritten in place") << true << 3000 << 100;
}

void CrashSafetyTest::killedRewriteLeavesAWholeVersion() {
    QFETCH(bool, secondName);
    QFETCH(int, pathLength);
    QFETCH(int, killWithinMs);
    ScopedTempCwd cwd;
    const QString list = cwd.file("list.xxa");
    QList<QByteArray> whole;
    for (int v = 0; v < int(EntryCounts.size()); ++v)
        whole << versionBytes(v, pathLength);
    writeBytes(list, whole.last());
    if (secondName)
        QVERIFY(addSecondName(list, cwd.file("other.xxa")));

    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    QList<int> timesSeen(whole.size(), 0);
    int leftoverCount = 0;
    for (int kill = 1; kill <= Kills; ++kill) {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(),
                     {RewriteFlag, list, QString::number(pathLength)});
        QVERIFY2(writer.waitForReadyRead(10000), "the rewriting process did not start");
        QThread::usleep(random.bounded(killWithinMs * 1000));
        writer.kill();
        QVERIFY(writer.waitForFinished(10000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

        const qsizetype found = whole.indexOf(readable(list));
        QVERIFY2(found >= 0, qPrintable(QString("kill %1 (seed %2) left %3 bytes of no version")
                                            .arg(kill)
                                            .arg(seed)
                                            .arg(readable(list).size())));
        ++timesSeen[found];
        ShortcutList read;
        QCOMPARE(ReadShortcutList(list, read), ErrorNumber::None);
        QCOMPARE(read.count, EntryCounts[found]);

        const QStringList left = leftovers(cwd.path());
        QVERIFY2(left.size() <= 1, qPrintable(left.join(' ')));
        leftoverCount += left.size();
        for (const QString& name : left)
            QFile::remove(cwd.file(name));
    }
    QStringList found;
    for (int times : timesSeen)
        found << QString::number(times);
    qInfo("%d kills (seed %u): each version found %s times; %d temporary files left", Kills, seed,
          qPrintable(found.join('/')), leftoverCount);
    // The kills landed at different moments of the rewriting.
    QVERIFY(std::count(timesSeen.begin(), timesSeen.end(), 0) < int(whole.size()) - 1);
}

int main(int argc, char** argv) {
    if (argc == 4 && qstrcmp(argv[1], RewriteFlag) == 0)
        return rewriteForever(QFile::decodeName(argv[2]), std::atoi(argv[3]));
    QCoreApplication app(argc, argv);
    CrashSafetyTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashsafety.moc"
