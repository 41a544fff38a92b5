// Opening a target as the desktop shell's "open" does: what a target is
// judged to be, and the program that opens it, on a scratch desktop whose
// mimeapps.list names the test's own handlers.
#include "ShellOpen.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TargetKind)

namespace {

void makeExecutable(const QString& path) {
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A file whose name is bytes that are no valid text.
void writeRawName(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);
}

const QByteArray Elf("\x7f"
                     "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0",
                     16);

} // namespace

class ShellOpenTest : public QObject {
    Q_OBJECT
    QTemporaryDir desktop_;
    QString handlerArgs_;
    int lateFailures_ = 0;

    void writeDesktopEntry(const QString& path, const QString& exec);
    QByteArray handlerArgs() const { return readBytes(handlerArgs_); }

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void recognisesUrls_data();
    void recognisesUrls();
    void judgesTargetsByWhatTheyAre_data();
    void judgesTargetsByWhatTheyAre();
    void opensThroughTheDesktopsHandlers_data();
    void opensThroughTheDesktopsHandlers();
    void startsProgramsByTheirWholeName_data();
    void startsProgramsByTheirWholeName();
};

void ShellOpenTest::writeDesktopEntry(const QString& path, const QString& exec) {
    writeBytes(path, "[Desktop Entry]\nType=Application\nName=Handler\nExec=" + exec.toUtf8() +
                         "\nMimeType=text/plain;inode/directory;x-scheme-handler/tovlan-test;\n");
}

// The handlers note their first argument, the way a real one would take the
// file it was asked to open. Set before the desktop's library is first used,
// which reads these folders once.
void ShellOpenTest::initTestCase() {
    const QString handler = desktop_.filePath("handler");
    handlerArgs_ = handler + ".args";
    writeBytes(handler,
               "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.args\"\n");
    makeExecutable(handler);
    QDir(desktop_.path()).mkpath("data/applications");
    QDir(desktop_.path()).mkpath("config");
    writeDesktopEntry(desktop_.filePath("data/applications/tovlan-file.desktop"), handler + " %f");
    writeDesktopEntry(desktop_.filePath("data/applications/tovlan-url.desktop"), handler + " %u");
    writeBytes(desktop_.filePath("config/mimeapps.list"),
               "[Default Applications]\n"
               "text/plain=tovlan-file.desktop\n"
               "inode/directory=tovlan-file.desktop\n"
               "x-scheme-handler/tovlan-test=tovlan-url.desktop\n");
    qputenv("XDG_DATA_HOME", QFile::encodeName(desktop_.filePath("data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(desktop_.filePath("config")));
    qunsetenv("XDG_CURRENT_DESKTOP");
}

// A name that is no valid text is beyond QDir's reach.
void ShellOpenTest::cleanupTestCase() {
    ::unlink((QFile::encodeName(desktop_.path()) + "/\x93\xfa\xff.txt").constData());
}

void ShellOpenTest::recognisesUrls_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("url");
    QTest::newRow("web") << "https://www.debian.org/" << true;
    QTest::newRow("mail") << "mailto:someone@example.org" << true;
    QTest::newRow("file url") << "file:///etc/os-release" << true;
    QTest::newRow("drive letter") << "C:\\Windows\\notepad.exe" << false;
    QTest::newRow("absolute path") << "/usr/bin/true" << false;
    QTest::newRow("relative with colon") << "notes:2024.txt" << true;
    QTest::newRow("name") << "memo.txt" << false;
}

void ShellOpenTest::recognisesUrls() {
    QFETCH(QString, target);
    QFETCH(bool, url);
    QCOMPARE(looksLikeUrl(target), url);
}

void ShellOpenTest::judgesTargetsByWhatTheyAre_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // a null array makes a folder
    QTest::addColumn<bool>("executable");
    QTest::addColumn<TargetKind>("kind");
    const QByteArray script("#!/bin/sh\necho ran > ran\n");
    QTest::newRow("folder") << "書類 フォルダ" << QByteArray() << false << TargetKind::Folder;
    QTest::newRow("document") << "memo.txt" << QByteArray("memo\n") << false
                              << TargetKind::Document;
    // Every file on exFAT, NTFS and SMB mounts carries the executable bit.
    QTest::newRow("executable text")
        << "memo" << QByteArray("memo\n") << true << TargetKind::Document;
    QTest::newRow("executable .txt with #!")
        << "notes.txt" << script << true << TargetKind::Document;
    QTest::newRow("ELF program") << "tool" << Elf << true << TargetKind::Program;
    QTest::newRow("ELF without the bit") << "tool" << Elf << false << TargetKind::Document;
    QTest::newRow("shell script") << "run" << script << true << TargetKind::Program;
    QTest::newRow("python script")
        << "run.py" << QByteArray("#!/usr/bin/python3\nprint(1)\n") << true << TargetKind::Program;
    QTest::newRow("script without the bit") << "run.sh" << script << false << TargetKind::Document;
    QTest::newRow("desktop entry")
        << "app.desktop" << QByteArray("[Desktop Entry]\nType=Application\nExec=true\n") << true
        << TargetKind::DesktopEntry;
}

void ShellOpenTest::judgesTargetsByWhatTheyAre() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, executable);
    QFETCH(TargetKind, kind);
    ScopedTempCwd cwd;
    if (content.isNull())
        QVERIFY(QDir(cwd.path()).mkdir(name));
    else
        writeBytes(cwd.file(name), content);
    if (executable)
        makeExecutable(cwd.file(name));
    // A name without a folder resolves against the current directory.
    const OpenPlan plan = planOpen(name);
    QCOMPARE(plan.kind, kind);
    QCOMPARE(plan.target, QFile::encodeName(cwd.file(name)));
}

void ShellOpenTest::opensThroughTheDesktopsHandlers_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("undecoded");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("handled"); // the handler's argument; null: not run
    const QByteArray memo = QFile::encodeName(desktop_.filePath("memo.txt"));
    const QByteArray folder = QFile::encodeName(desktop_.filePath("data"));
    const QByteArray raw = QFile::encodeName(desktop_.path()) + "/\x93\xfa\xff.txt";
    const QByteArray rawMissing = QFile::encodeName(desktop_.path()) + "/\x93\xfb\xff.txt";
    const int ok = ShellResult::Success;
    QTest::newRow("document") << QString(memo) << QByteArray() << ok << memo;
    QTest::newRow("folder") << QString(folder) << QByteArray() << ok << folder;
    QTest::newRow("file url") << "file://" + QString(memo) << QByteArray() << ok << memo;
    QTest::newRow("url") << "tovlan-test:page?q=1" << QByteArray() << ok
                         << QByteArray("tovlan-test:page?q=1");
    QTest::newRow("desktop entry")
        << desktop_.filePath("app.desktop") << QByteArray() << ok << QByteArray("started");
    QTest::newRow("link entry") << desktop_.filePath("link.desktop") << QByteArray() << ok
                                << QByteArray("tovlan-test:linked");
    QTest::newRow("undecodable name") << QString::fromLatin1(raw) << raw << ok << raw;
    // Another file holds the text the undecodable bytes decode to.
    QTest::newRow("undecodable name, missing")
        << QString::fromUtf8(rawMissing) << rawMissing << ShellResult::FileNotFound << QByteArray();
    QTest::newRow("entry of no program") << desktop_.filePath("broken.desktop") << QByteArray()
                                         << ShellResult::NoAssociation << QByteArray();
    QTest::newRow("empty") << QString() << QByteArray() << ShellResult::FileNotFound
                           << QByteArray();
    QTest::newRow("missing") << "/no/such/file" << QByteArray() << ShellResult::FileNotFound
                             << QByteArray();
    QTest::newRow("drive letter") << "C:\\Program Files\\app.exe" << QByteArray()
                                  << ShellResult::FileNotFound << QByteArray();
}

void ShellOpenTest::opensThroughTheDesktopsHandlers() {
    QFETCH(QString, target);
    QFETCH(QByteArray, undecoded);
    QFETCH(int, result);
    QFETCH(QByteArray, handled);
    const QByteArray handler = QFile::encodeName(desktop_.filePath("handler"));
    writeBytes(desktop_.filePath("memo.txt"), "memo\n");
    writeRawName(QFile::encodeName(desktop_.path()) + "/\x93\xfa\xff.txt");
    writeRawName(QFile::encodeName(desktop_.filePath(QString::fromUtf8("\x93\xfb\xff.txt"))));
    writeBytes(desktop_.filePath("app.desktop"),
               "[Desktop Entry]\nType=Application\nName=App\nExec=" + handler + " started\n");
    writeBytes(desktop_.filePath("link.desktop"),
               "[Desktop Entry]\nType=Link\nName=Link\nURL=tovlan-test:linked\n");
    writeBytes(desktop_.filePath("broken.desktop"),
               "[Desktop Entry]\nType=Application\nName=App\nExec=/no/such/program\n");
    QFile::remove(handlerArgs_);
    QCOMPARE(shellOpen(target, undecoded, [this] { ++lateFailures_; }), result);
    if (handled.isNull()) {
        QTest::qWait(100);
        QVERIFY(!QFile::exists(handlerArgs_));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(handlerArgs(), handled, 5000);
    }
    QCOMPARE(lateFailures_, 0);
}

void ShellOpenTest::startsProgramsByTheirWholeName_data() {
    QTest::addColumn<QString>("name");
    // A leading "-" must not read as an option; spaces do not split the
    // name into a program and its arguments.
    QTest::newRow("dash") << "-run";
    QTest::newRow("spaces and Japanese") << "表 計算 --help";
}

void ShellOpenTest::startsProgramsByTheirWholeName() {
    QFETCH(QString, name);
    ScopedTempCwd cwd;
    const QString marker = cwd.file("started");
    writeBytes(cwd.file(name), "#!/bin/sh\necho \"$0 $#\" > '" + marker.toUtf8() + "'\n");
    makeExecutable(cwd.file(name));
    QVERIFY(shellOpen(name) > 32);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker) && !readBytes(marker).isEmpty(), 5000);
    QCOMPARE(readBytes(marker), cwd.file(name).toUtf8() + " 0\n");
}

QTEST_MAIN(ShellOpenTest)
#include "tst_shellopen.moc"
