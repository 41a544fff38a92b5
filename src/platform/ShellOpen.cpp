#include "ShellOpen.h"

#include "SpawnDetached.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

namespace {

// xdg-open's exit codes: 2 the file does not exist, 3 a tool is missing,
// 4 the action failed (no program for the type).
int resultOfXdgOpenExit(int code) {
    if (code == 0)
        return ShellResult::Success;
    if (code == 2)
        return ShellResult::FileNotFound;
    return ShellResult::NoAssociation;
}

// Runs xdg-open and reads its verdict. Some desktops keep xdg-open running
// as long as the program it started; after a short wait that counts as
// success, and the process is left to finish on its own.
int openWithDesktop(const QString& argument) {
    auto* process = new QProcess(QCoreApplication::instance());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process](QProcess::ProcessError e) {
                         if (e == QProcess::FailedToStart)
                             process->deleteLater();
                     });
    process->start(QStringLiteral("xdg-open"), {argument});
    if (!process->waitForStarted(2000))
        return ShellResult::NoAssociation;
    constexpr int VerdictWaitMs = 1500;
    if (!process->waitForFinished(VerdictWaitMs))
        return ShellResult::Success;
    if (process->exitStatus() != QProcess::NormalExit)
        return ShellResult::NoAssociation;
    return resultOfXdgOpenExit(process->exitCode());
}

} // namespace

bool looksLikeUrl(const QString& target) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(target).hasMatch();
}

int shellOpen(const QString& target) {
    if (target.isEmpty())
        return ShellResult::FileNotFound;
    if (looksLikeUrl(target))
        return openWithDesktop(target);
    const QFileInfo info(QDir::current(), target);
    if (!info.exists())
        return ShellResult::FileNotFound;
    const QString absolute = info.absoluteFilePath();
    if (info.isFile() && info.isExecutable())
        return spawnDetached(absolute) ? ShellResult::Success : ShellResult::NoAssociation;
    return openWithDesktop(absolute);
}
