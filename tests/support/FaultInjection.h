#pragma once

// Real causes of failed writes, for tests that check what the user is told
// and that nothing is lost.

#include <QDirIterator>
#include <QFile>
#include <cstdlib>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

// Gives the file a second name (a hard link; QFile::link makes a symlink).
inline bool addSecondName(const QString& file, const QString& name) {
    return ::link(QFile::encodeName(file).constData(), QFile::encodeName(name).constData()) == 0;
}

// Permission bits stop nothing for root, and CI runs as root. For its
// lifetime this makes the process's effective user "nobody", a member of the
// group "users", after handing the folder and what root owns in it to
// nobody, so a write-protected file or a read-only folder is refused by the
// system as it would be for a user. Files of another user stay theirs.
class ScopedUnprivileged {
  public:
    static constexpr uid_t Nobody = 65534;
    static constexpr gid_t Users = 100;

    explicit ScopedUnprivileged(const QString& folder) {
        if (geteuid() != 0)
            return;
        handToNobody(folder);
        switched_ = setgroups(1, &Users) == 0 && setegid(Nobody) == 0 && seteuid(Nobody) == 0;
        if (!switched_)
            restore();
    }
    ~ScopedUnprivileged() {
        if (switched_)
            restore();
    }
    ScopedUnprivileged(const ScopedUnprivileged&) = delete;
    ScopedUnprivileged& operator=(const ScopedUnprivileged&) = delete;

    // False when root could not become "nobody" (a user namespace that does
    // not map it): permissions then prove nothing and the test must say so.
    bool permissionsCount() const { return geteuid() != 0; }

  private:
    static void handToNobody(const QString& folder) {
        QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        for (QString path = folder; !path.isEmpty(); path = it.hasNext() ? it.next() : QString()) {
            const QByteArray name = QFile::encodeName(path);
            struct stat info {};
            if (lstat(name.constData(), &info) == 0 && info.st_uid == 0)
                (void)!lchown(name.constData(), Nobody, Nobody);
        }
    }
    void restore() {
        // Root's own groups do not matter: no permission check applies to root.
        if (seteuid(0) != 0 || setegid(0) != 0)
            std::abort(); // the rest of the run would not be root
    }

    bool switched_ = false;
};
