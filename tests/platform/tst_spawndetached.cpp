// Starting a program from the launcher: it runs on its own and leaves no
// zombie behind once it ends.
#include "SpawnDetached.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/wait.h>

class TestSpawnDetached : public QObject {
    Q_OBJECT

    static QString writeProgram(const QTemporaryDir& dir, const QByteArray& text) {
        const QString path = dir.filePath(QStringLiteral("program"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return {};
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return path;
    }

    static bool noChildLeft() {
        siginfo_t info{};
        return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
    }

  private slots:
    void programRunsInASessionOfItsOwnAndIsReaped() {
        QTemporaryDir dir;
        // The program notes its process id and its session id (field 6).
        const QString program = writeProgram(dir, "#!/bin/sh\n"
                                                  "echo \"$$ $(cut -d' ' -f6 /proc/$$/stat)\" > "
                                                  "\"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n");
        QVERIFY(spawnDetached(program));
        QFile out(program + QStringLiteral(".out"));
        QTRY_VERIFY(out.exists());
        QVERIFY(out.open(QIODevice::ReadOnly));
        const QList<QByteArray> ids = out.readAll().trimmed().split(' ');
        QCOMPARE(ids.size(), 2);
        QCOMPARE(ids[1], ids[0]); // it leads a session of its own
        QTRY_VERIFY(noChildLeft());
    }

    void whatCannotRunIsReportedAndLeavesNothing() {
        QTemporaryDir dir;
        QVERIFY(!spawnDetached(writeProgram(dir, "no interpreter line, no machine code\n")));
        QVERIFY(!spawnDetached(dir.filePath(QStringLiteral("missing"))));
        QVERIFY(noChildLeft());
    }
};

QTEST_MAIN(TestSpawnDetached)
#include "tst_spawndetached.moc"
