// Opening a target as the desktop shell's "open" does.
#include "ShellOpen.h"
#include "TestFiles.h"

#include <QFile>
#include <QTest>

class ShellOpenTest : public QObject {
    Q_OBJECT
  private slots:
    void recognisesUrls_data();
    void recognisesUrls();
    void missingTargetsAreNotFound();
    void startsProgramsByTheirWholeName_data();
    void startsProgramsByTheirWholeName();
};

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

void ShellOpenTest::missingTargetsAreNotFound() {
    ScopedTempCwd cwd;
    QCOMPARE(shellOpen(QString()), ShellResult::FileNotFound);
    QCOMPARE(shellOpen("/no/such/program"), ShellResult::FileNotFound);
    QCOMPARE(shellOpen("C:\\Program Files\\app.exe"), ShellResult::FileNotFound);
    QCOMPARE(shellOpen("-missing"), ShellResult::FileNotFound);
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
    QFile(cwd.file(name)).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // A name without a folder resolves against the current directory.
    QVERIFY(shellOpen(name) > 32);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker) && !readBytes(marker).isEmpty(), 5000);
    QCOMPARE(readBytes(marker), cwd.file(name).toUtf8() + " 0\n");
}

QTEST_MAIN(ShellOpenTest)
#include "tst_shellopen.moc"
