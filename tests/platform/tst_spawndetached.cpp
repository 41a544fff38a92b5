// Starting a program from the launcher: it runs on its own, holds nothing of
// the launcher's but its standard input and outputs, and leaves no zombie
// behind once it ends.
#include "SpawnDetached.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

    static QByteArray readAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static bool noChildLeft() {
        siginfo_t info{};
        return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
    }

  private slots:
    void programRunsOnItsOwnAndIsReaped() {
        QTemporaryDir dir;
        // A pipe the launcher holds open must not reach the program.
        int pipeEnds[2];
        QCOMPARE(pipe(pipeEnds), 0);
        struct stat pipeStatus {};
        fstat(pipeEnds[0], &pipeStatus);
        // The program notes its descriptors, its process id and its session
        // id (field 6).
        const QString program = writeProgram(dir, "#!/bin/sh\n"
                                                  "ls -l /proc/$$/fd > \"$0.fds\"\n"
                                                  "echo \"$$ $(cut -d' ' -f6 /proc/$$/stat)\" > "
                                                  "\"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n");
        QVERIFY(spawnDetached({QFile::encodeName(program)}));
        QFile out(program + QStringLiteral(".out"));
        QTRY_VERIFY(out.exists());
        QVERIFY(out.open(QIODevice::ReadOnly));
        const QList<QByteArray> ids = out.readAll().trimmed().split(' ');
        QCOMPARE(ids.size(), 2);
        QCOMPARE(ids[1], ids[0]); // it leads a session of its own
        const QByteArray fds = readAll(program + QStringLiteral(".fds"));
        QVERIFY(fds.contains(" 2 -> "));
        QVERIFY(!fds.contains("pipe:[" + QByteArray::number(quint64(pipeStatus.st_ino)) + "]"));
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        QTRY_VERIFY(noChildLeft());
    }

    void whatCannotRunIsReportedAndLeavesNothing() {
        QTemporaryDir dir;
        QVERIFY(!spawnDetached(
            {QFile::encodeName(writeProgram(dir, "no interpreter line, no machine code\n"))}));
        QVERIFY(!spawnDetached({QFile::encodeName(dir.filePath(QStringLiteral("missing")))}));
        QVERIFY(noChildLeft());
    }
};

QTEST_MAIN(TestSpawnDetached)
#include "tst_spawndetached.moc"
