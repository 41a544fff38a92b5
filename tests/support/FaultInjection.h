#pragma once

// Ways to make a real file operation fail, for tests that check what the
// user is told and that nothing is lost. Header only, so any test program
// can use it.

#include "FileLock.h"
#include "SafeWrite.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

// Gives the file a second name (a hard link; QFile::link makes a symlink).
inline bool addSecondName(const QString& file, const QString& name) {
    return ::link(QFile::encodeName(file).constData(), QFile::encodeName(name).constData()) == 0;
}

// Lowers the largest file this process may write, so the system itself
// refuses a write part-way, as a full disk does. SIGXFSZ stays as it is: the
// program itself must keep the limit from killing it.
class ScopedFileSizeLimit {
  public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~ScopedFileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  private:
    rlimit saved_{};
};

// Permission bits stop nothing for root, and CI runs as root. For its
// lifetime this makes the process's effective user "nobody", after handing
// the folder and what it holds to that user, so an unreadable file or a
// read-only folder is refused by the system as it would be for a user.
// Another user stays as they are: their permission bits already count.
class ScopedUnprivileged {
  public:
    static constexpr uid_t Nobody = 65534;

    explicit ScopedUnprivileged(const QString& folder) {
        if (geteuid() != 0)
            return;
        chownTree(folder);
        switched_ = setegid(Nobody) == 0 && seteuid(Nobody) == 0;
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
    static void chownTree(const QString& folder) {
        const QByteArray top = QFile::encodeName(folder);
        if (chown(top.constData(), Nobody, Nobody) != 0)
            return;
        QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QByteArray path = QFile::encodeName(it.next());
            if (lchown(path.constData(), Nobody, Nobody) != 0)
                return;
        }
    }
    static void restore() {
        if (seteuid(0) != 0 || setegid(0) != 0)
            std::abort(); // the rest of the run would not be root
    }

    bool switched_ = false;
};

// Where a write of a list or settings file can fail, and the real causes
// behind such failures.
enum class Fault {
    AtOpen,         // the seam: nothing written yet
    InMiddle,       // the seam: half the bytes written
    AtCommit,       // the seam: all written, the replacement fails
    NoSpace,        // the system refuses the size (RLIMIT_FSIZE)
    ReadOnlyFolder, // no new file can be made beside the old one
    FolderInPlace,  // a folder now stands where the file was
    FileRemoved,    // the file went away after the program read it
    Locked,         // another launcher holds the file's lock all along
    InPlace,        // the file has a second name, so it is rewritten in
                    // place; half the bytes written, the write fails
};

// Applies one fault to the file at target for its lifetime; clear() ends it
// early and puts back what the fault took away, so the test can try again.
class InjectedFault {
  public:
    InjectedFault(Fault fault, const QString& target)
        : fault_(fault), target_(target), old_(readAll(target)) {
        switch (fault) {
        case Fault::AtOpen:
            setWriteFaultForTesting(WriteFault::AtOpen);
            break;
        case Fault::InMiddle:
            setWriteFaultForTesting(WriteFault::InMiddle);
            break;
        case Fault::AtCommit:
            setWriteFaultForTesting(WriteFault::AtCommit);
            break;
        case Fault::NoSpace:
            limit_.emplace(8);
            break;
        case Fault::ReadOnlyFolder:
            unprivileged_.emplace(folder());
            QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner);
            break;
        case Fault::FolderInPlace:
            QFile::remove(target);
            QDir().mkdir(target);
            break;
        case Fault::FileRemoved:
            QFile::remove(target);
            break;
        case Fault::Locked:
            held_.emplace();
            held_->lock(target);
            break;
        case Fault::InPlace:
            addSecondName(target, secondName());
            setWriteFaultForTesting(WriteFault::InMiddle);
            break;
        }
    }
    ~InjectedFault() { clear(); }
    InjectedFault(const InjectedFault&) = delete;
    InjectedFault& operator=(const InjectedFault&) = delete;

    // False when the fault could not be made real here (see ScopedUnprivileged).
    bool inForce() const { return !unprivileged_ || unprivileged_->permissionsCount(); }

    // The target as the fault left it: the old bytes, or the folder.
    bool targetUnchanged() const {
        if (fault_ == Fault::FolderInPlace)
            return QFileInfo(target_).isDir() && QDir(target_).isEmpty();
        if (fault_ == Fault::InPlace && readAll(secondName()) != old_)
            return false;
        return QFileInfo(target_).isFile() && readAll(target_) == old_;
    }

    void clear() {
        setWriteFaultForTesting(WriteFault::None);
        limit_.reset();
        held_.reset();
        if (unprivileged_) {
            QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            unprivileged_.reset();
        }
        if (fault_ == Fault::FolderInPlace && QFileInfo(target_).isDir()) {
            QDir().rmdir(target_);
            writeAll(target_, old_);
        }
    }

  private:
    QString folder() const { return QFileInfo(target_).absolutePath(); }
    QString secondName() const { return target_ + QStringLiteral(".link"); }

    static QByteArray readAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void writeAll(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

    Fault fault_;
    QString target_;
    QByteArray old_;
    std::optional<ScopedFileSizeLimit> limit_;
    std::optional<ScopedUnprivileged> unprivileged_;
    std::optional<FileLock> held_;
};
