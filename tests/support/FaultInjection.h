#pragma once

// Real causes of failed writes, for tests that check what the user is told
// and that nothing is lost.

#include <QFile>
#include <QProcess>
#include <cstdlib>
#include <grp.h>
#include <unistd.h>

// Gives the file a second name (a hard link; QFile::link makes a symlink).
inline bool addSecondName(const QString& file, const QString& name) {
    return ::link(QFile::encodeName(file).constData(), QFile::encodeName(name).constData()) == 0;
}

// Permission bits stop nothing for root, and CI runs as root. For its
// lifetime this makes the process's effective user "nobody", a member of the
// group "users", so a write-protected file or a read-only folder is refused
// by the system as it would be for a user. Hand the test's folder to nobody
// first (handToNobody). Root could not become nobody where a user namespace
// does not map it: then geteuid() stays 0, permissions prove nothing, and the
// test must say so.
class ScopedUnprivileged {
  public:
    static constexpr uid_t Nobody = 65534;
    static constexpr gid_t Users = 100;

    ScopedUnprivileged() {
        switched_ = geteuid() == 0 && setgroups(1, &Users) == 0 && setegid(Nobody) == 0 &&
                    seteuid(Nobody) == 0;
        if (!switched_ && geteuid() == 0 && setegid(0) != 0)
            std::abort();
    }
    ~ScopedUnprivileged() {
        // Root's own groups do not matter: no permission check applies to root.
        if (switched_ && (seteuid(0) != 0 || setegid(0) != 0))
            std::abort(); // the rest of the run would not be root
    }
    ScopedUnprivileged(const ScopedUnprivileged&) = delete;
    ScopedUnprivileged& operator=(const ScopedUnprivileged&) = delete;

    static void handToNobody(const QString& folder) {
        if (geteuid() == 0)
            QProcess::execute("chown", {"-R", "65534:65534", folder});
    }

  private:
    bool switched_ = false;
};
