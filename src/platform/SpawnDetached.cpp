#include "SpawnDetached.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>

#include <csignal>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

int pidfdOpen(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

// A pidfd turns readable when its process ends; Linux has had them since
// 5.3. Without them the launcher could not reap a spawned program, so it
// falls back to Qt's double fork, which tells nothing of how it ended.
bool havePidfds() {
    static const bool available = [] {
        const int fd = pidfdOpen(getpid());
        if (fd < 0)
            return false;
        close(fd);
        return true;
    }();
    return available;
}

// The pidfd turns readable once the program has ended, so the reaping never
// waits; WNOHANG all the same, should anything else have reaped it.
void reapWhenEnded(pid_t pid, int pidfd, const std::function<void()>& failed) {
    auto* notifier =
        new QSocketNotifier(pidfd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [notifier, pid, pidfd, failed] {
                         notifier->setEnabled(false);
                         int status = 0;
                         const bool reaped = waitpid(pid, &status, WNOHANG) == pid;
                         close(pidfd);
                         notifier->deleteLater();
                         if (reaped && failed && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
                             failed();
                     });
}

bool spawn(const QByteArrayList& argv, pid_t& pid) {
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0)
        return false;
    // Descriptors the launcher opened without close-on-exec (a pipe, a
    // socket) must not keep anything of it alive in the program.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> arguments;
    for (const QByteArray& argument : argv)
        arguments.push_back(const_cast<char*>(argument.constData()));
    arguments.push_back(nullptr);
    const int error =
        posix_spawnp(&pid, arguments[0], &actions, &attributes, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return error == 0;
}

} // namespace

bool spawnDetached(const QByteArrayList& argv, const std::function<void()>& failed) {
    if (argv.isEmpty() || argv[0].isEmpty())
        return false;
    if (!havePidfds() || !QCoreApplication::instance()) {
        QStringList arguments;
        for (qsizetype i = 1; i < argv.size(); ++i)
            arguments.append(QFile::decodeName(argv[i]));
        return QProcess::startDetached(QFile::decodeName(argv[0]), arguments);
    }
    pid_t pid = 0;
    if (!spawn(argv, pid))
        return false;
    // Out of descriptors, the ended program would stay a zombie until the
    // launcher ends; it has started all the same.
    const int pidfd = pidfdOpen(pid);
    if (pidfd >= 0)
        reapWhenEnded(pid, pidfd, failed);
    return true;
}
