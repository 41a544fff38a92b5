#include "ErrorNumbers.h"
#include "FaultInjection.h"
#include "SafeWrite.h"
#include "Settings.h"
#include "SettingsLocation.h"
#include "TestFiles.h"

#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The twelve lines: each group is start-up path, quick file i, corner.
QStringList groups(const QString& startup, const QStringList& quickFiles, const QString& corner) {
    QStringList values;
    for (const QString& quickFile : quickFiles)
        values << startup << quickFile << corner;
    return values;
}

const QStringList noQuickFiles{{}, {}, {}, {}};

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT

  private slots:
    void writesTwelveLinesAndReadsThemBack();
    void readsEachLineAsOneValue_data();
    void readsEachLineAsOneValue();
    void failedWriteKeepsOldFile();
    void livesWhereTheUserMayWrite_data();
    void livesWhereTheUserMayWrite();
};

void SettingsTest::writesTwelveLinesAndReadsThemBack() {
    ScopedTempCwd cwd;
    Settings settings;
    settings.startupListPath = u"C:\\リスト\\P.xxa"_s;
    settings.quickFiles = {u"A"_s, u"B"_s, {}, {}};
    setCornerCode(settings, 4);
    QCOMPARE(WriteSettingsFile("s.ini", settings), 0);
    const QStringList quickFiles{u"A"_s, u"B"_s, {}, {}};
    QCOMPARE(readBytes("s.ini"), listBytes(groups(settings.startupListPath, quickFiles, u" 4 "_s)));
    Settings read;
    QCOMPARE(ReadSettingsFile("s.ini", read), 0);
    QCOMPARE(read.startupListPath, settings.startupListPath);
    QCOMPARE(read.quickFiles, settings.quickFiles);
    QCOMPARE(cornerCode(read), 4);

    // A corner read without spaces is written back without them.
    const QByteArray bare = listBytes(groups(u"P"_s, noQuickFiles, u"2"_s));
    writeBytes("s.ini", bare);
    QCOMPARE(ReadSettingsFile("s.ini", read), 0);
    QCOMPARE(WriteSettingsFile("s.ini", read), 0);
    QCOMPARE(readBytes("s.ini"), bare);
    QCOMPARE(settingsFilePath(u"/opt/tovlan"_s), u"/opt/tovlan/設定.ini"_s);
}

void SettingsTest::readsEachLineAsOneValue_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("startup");
    QTest::addColumn<QStringList>("quickFiles");
    QTest::addColumn<int>("corner");
    const QStringList abcd{u"A"_s, u"B"_s, u"C"_s, u"D"_s};
    QStringList differing;
    for (int group = 1; group <= 4; ++group)
        differing << u"S%1"_s.arg(group) << abcd[group - 1] << QString::number(group);
    QTest::newRow("fourth group counts") << listBytes(differing) << u"S4"_s << abcd << 4;
    const QString odd = u"  C:\\a, b\\ファイル.xxa"_s;
    const QStringList oddQuickFiles{odd, {}, {}, u"q"_s};
    QTest::newRow("commas and leading spaces")
        << listBytes(groups(odd, oddQuickFiles, u"1"_s)) << odd << oddQuickFiles << 1;
    QTest::newRow("empty file") << QByteArray() << QString() << noQuickFiles << 0;
    const QStringList full = groups(u"S"_s, abcd, u"3"_s);
    QTest::newRow("11 lines") << listBytes(full.mid(0, 11)) << u"S"_s << abcd << 0;
    QTest::newRow("12 lines") << listBytes(full) << u"S"_s << abcd << 3;
    QTest::newRow("13 lines") << listBytes(full + QStringList{u"x"_s}) << u"S"_s << abcd << 3;
    const QStringList corners{u" 4 "_s, u"4"_s, u"0"_s, u"5"_s, u"x"_s, QString()};
    for (const QString& corner : corners) {
        QTest::addRow("corner \"%s\"", qPrintable(corner))
            << listBytes(groups(u"P"_s, noQuickFiles, corner)) << u"P"_s << noQuickFiles
            << (corner.trimmed() == u"4"_s ? 4 : 0);
    }
}

void SettingsTest::readsEachLineAsOneValue() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, startup);
    QFETCH(QStringList, quickFiles);
    QFETCH(int, corner);
    ScopedTempCwd cwd;
    writeBytes("s.ini", bytes);
    Settings settings;
    QCOMPARE(ReadSettingsFile("s.ini", settings), 0);
    QCOMPARE(settings.startupListPath, startup);
    QCOMPARE(QStringList(settings.quickFiles.begin(), settings.quickFiles.end()), quickFiles);
    QCOMPARE(cornerCode(settings), corner);
}

void SettingsTest::failedWriteKeepsOldFile() {
    ScopedTempCwd cwd;
    const QByteArray old = listBytes(groups(u"P"_s, noQuickFiles, u" 1 "_s));
    writeBytes("s.ini", old);
    Settings settings;
    QCOMPARE(ReadSettingsFile("s.ini", settings), 0);
    setCornerCode(settings, 3);
    setWriteFaultForTesting(WriteFault::InMiddle);
    const int faulted = WriteSettingsFile("s.ini", settings);
    setWriteFaultForTesting(WriteFault::None);
    QCOMPARE(faulted, ErrorNumber::DiskFull);
    QCOMPARE(WriteSettingsFile("missing/s.ini", settings), ErrorNumber::PathFileAccess);
    QCOMPARE(WriteSettingsFile(cwd.path(), settings), ErrorNumber::PathFileAccess);
    settings.quickFiles[0] = u"😺.xxa"_s;
    QCOMPARE(WriteSettingsFile("s.ini", settings), ErrorNumber::CannotEncode);
    QCOMPARE(readBytes("s.ini"), old);
    QCOMPARE(ReadSettingsFile("missing.ini", settings), ErrorNumber::FileNotFound);
}

// "beside" is the program's folder, "own" the user's ~/.config/tovlan.
void SettingsTest::livesWhereTheUserMayWrite_data() {
    QTest::addColumn<QString>("programFolder"); // empty: a scratch folder
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QStringList>("existing"); // settings files there before
    QTest::addColumn<QString>("readFrom");
    QTest::addColumn<QString>("writeTo");
    const QString beside = u"beside"_s, own = u"own"_s;
    QTest::newRow("writable") << QString() << true << QStringList() << beside << beside;
    QTest::newRow("writable, user's own file ignored")
        << QString() << true << QStringList{beside, own} << beside << beside;
    QTest::newRow("read-only") << QString() << false << QStringList() << own << own;
    QTest::newRow("read-only, file beside read until a copy exists")
        << QString() << false << QStringList{beside} << beside << own;
    QTest::newRow("read-only, user's own file wins")
        << QString() << false << QStringList{beside, own} << own << own;
    // Root may write anywhere, but not into a package's folder.
    QTest::newRow("under /usr, writable")
        << u"/usr/lib/tovlan"_s << true << QStringList() << own << own;
}

void SettingsTest::livesWhereTheUserMayWrite() {
    QFETCH(QString, programFolder);
    QFETCH(bool, writable);
    QFETCH(QStringList, existing);
    QFETCH(QString, readFrom);
    QFETCH(QString, writeTo);
    ScopedTempCwd cwd;
    const bool scratch = programFolder.isEmpty();
    if (scratch)
        programFolder = cwd.file(u"program"_s);
    const QString userFolder = cwd.file(u"home/.config/tovlan"_s);
    const QHash<QString, QString> file{{u"beside"_s, settingsFilePath(programFolder)},
                                       {u"own"_s, settingsFilePath(userFolder)}};
    QDir().mkpath(programFolder);
    const QByteArray old = listBytes(groups(u"old.xxa"_s, noQuickFiles, u" 1 "_s));
    for (const QString& place : existing) {
        QDir().mkpath(QFileInfo(file[place]).path());
        writeBytes(file[place], old);
    }

    std::optional<ScopedUnprivileged> user;
    if (scratch && !writable) {
        QFile::setPermissions(programFolder, QFile::ReadOwner | QFile::ExeOwner);
        user.emplace(cwd.path());
        if (!user->permissionsCount())
            QSKIP("running as root and cannot become nobody: permission bits would not count");
    }
    const SettingsLocation location = scratch ? settingsLocation(programFolder, userFolder)
                                              : settingsLocation(programFolder, true, userFolder);
    QCOMPARE(location.readFrom, file[readFrom]);
    QCOMPARE(location.writeTo, file[writeTo]);
    if (!scratch)
        return;

    // The first write makes the user's folder; nothing else changes.
    Settings settings;
    setCornerCode(settings, 3);
    const int written =
        UpdateSettingsAt(location, {}, [&](Settings& current) { current = settings; });
    user.reset();
    QFile::setPermissions(programFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(written, 0);
    QCOMPARE(readBytes(file[writeTo]), listBytes(groups({}, noQuickFiles, u" 3 "_s)));
    const QString other = writeTo == u"own"_s ? u"beside"_s : u"own"_s;
    QCOMPARE(QFile::exists(file[other]) ? readBytes(file[other]) : QByteArray("none"),
             existing.contains(other) ? old : QByteArray("none"));
}

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
