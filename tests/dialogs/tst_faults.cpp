// What the user gets when a list or settings file cannot be written or read
// as it should, each reached as the user reaches it. README's "Bad input"
// table points at these rows.
#include "ErrorNumbers.h"
#include "FaultInjection.h"
#include "FileLock.h"
#include "LauncherFixture.h"
#include "SafeWrite.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>

namespace {

using Values = QStringList; // a file's lines
enum Writer { Register, Delete, Ok, Corner };
// The first five are refused; the next two written from the file as it is
// at the write; the rest written, the file still the same file.
// clang-format off
const Values Faults{"no space", "write-protected file", "read-only folder",
    "another launcher holds the lock", "second name, fails midway",
    "symlink, its file removed after reading", "another launcher writes meanwhile",
    "hard link", "symlink", "user attribute", "another owner, shared group"};
// clang-format on
const Values ThreeEntries{"一", "/bin/one", "二", "/bin/two", "三", "/bin/three"};

// clang-format off
const Values SettingsFile{"l.xxa", "q.xxa", " 4 ", "l.xxa", "", " 4 ", "l.xxa", "", " 4 ",
    "l.xxa", "", " 4 "};
// clang-format on

// The user's steps with the writer: the dialog, the boxes, then the click.
void use(
    int writer, LauncherFixture& f, const std::function<void()>& beforeClick = [] {}) {
    QWidget* d = writer == Corner ? nullptr : &f.openDialog(writer == Delete ? "sk2" : "sk7");
    if (writer == Register) {
        type(*d, "Text1", "四");
        type(*d, "Text2", "/bin/four");
    }
    if (writer == Ok)
        type(*d, "Text3", "new.xxa");
    beforeClick();
    if (writer == Delete)
        choose(*d, "Combo1", 1);
    if (writer == Corner)
        f.trigger("sk9");
    else
        click(*d, writer == Ok ? "OK" : "Command1");
}

// What the writer makes of the file's values.
Values edit(int writer, Values v) {
    if (writer == Register)
        return v + Values{"四", "/bin/four"};
    if (writer == Delete)
        return v.mid(0, 2) + v.mid(4);
    for (int line = 0; line < v.size(); ++line) {
        if (writer == Corner && line % 3 == 2)
            v[line] = " 1 ";
        if (writer == Ok && line % 3 != 2) // Text3 typed, the quick files as opened
            v[line] = line % 3 ? SettingsFile[line] : "new.xxa";
    }
    return v;
}

// The n-th version another launcher writes: for the settings, a quick file
// the corner item does not own and a corner the options dialog does not own.
Values changed(bool list, int n) {
    if (list)
        return ThreeEntries + Values{QString("後%1").arg(n), "/bin/later"};
    Values v = SettingsFile;
    v[4] = QString("c%1.xxa").arg(n);
    for (int line : {2, 5, 8, 11})
        v[line] = QString(" %1 ").arg(n + 1);
    return v;
}

// Another launcher holds the file when the user clicks: it replaces the file,
// locks the new one before it lets go of the old one, and replaces it again.
// A writer that does not wait, or keeps the lock of a file no longer at the
// path, writes in between, and its change is lost.
void anotherLauncher(FileLock& held, const QString& file, bool list, bool* wrote) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    FileLock next;
    *wrote = writeWholeFile(file, listBytes(changed(list, 1))) == ErrorNumber::None &&
             next.lock(file) == ErrorNumber::None;
    held.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    *wrote = *wrote && writeWholeFile(file, listBytes(changed(list, 2))) == ErrorNumber::None;
}

// Owner, group, mode, names, symlink and user attribute.
QString identity(const QString& path) {
    struct stat info {};
    char attribute[8] = {};
    stat(QFile::encodeName(path).constData(), &info);
    getxattr(QFile::encodeName(path).constData(), "user.tovlan", attribute, 4);
    return QString::asprintf("%u:%u %o %lu %s%s", info.st_uid, info.st_gid, info.st_mode,
                             info.st_nlink, QFileInfo(path).isSymLink() ? "link " : "", attribute);
}

// Makes the file what the row needs; false where this system cannot.
bool prepare(const QString& fault, const QString& file) {
    const QByteArray name = QFile::encodeName(file);
    const QByteArray folder = QFile::encodeName(QFileInfo(file).path());
    // Not the mode a new file gets, so a mode that is not kept shows.
    if (chmod(name.constData(), fault == "write-protected file" ? 0444 : 0640) != 0 ||
        chmod(folder.constData(), fault == "read-only folder" ? 0555 : 0755) != 0)
        return false;
    if (fault == "hard link" || fault == "second name, fails midway")
        return addSecondName(file, file + ".link");
    if (fault.startsWith("symlink"))
        return QFile::rename(file, file + ".real") &&
               QFile::link(QFileInfo(file).fileName() + ".real", file);
    if (fault == "user attribute")
        return setxattr(name.constData(), "user.tovlan", "kept", 4, 0) == 0;
    if (fault == "another owner, shared group") // daemon's, shared with the group users
        return geteuid() == 0 && chown(name.constData(), 1, ScopedUnprivileged::Users) == 0 &&
               chmod(name.constData(), 0660) == 0;
    return true;
}

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT
  private slots:
    void everyWriter_data() {
        QTest::addColumn<int>("writer");
        QTest::addColumn<QString>("fault");
        // Only a write that makes the file longer can be stopped after the old
        // length by a file-size limit: the whole copy fits, the new contents do not.
        for (int writer : {Register, Delete, Ok, Corner})
            for (const QString& fault : Faults)
                if (fault != "second name, fails midway" || writer == Register || writer == Ok)
                    QTest::addRow("%s, %s", QList{"登録", "消去", "OK", "corner"}[writer],
                                  qPrintable(fault))
                        << writer << fault;
    }

    // A refused write leaves the file byte for byte and says "書き込みエラー";
    // the same steps once the cause is gone write what the user asked for. The
    // process writes as "nobody", so permissions count as they do for a user.
    void everyWriter() {
        QFETCH(int, writer);
        QFETCH(QString, fault);
        LauncherFixture f;
        f.writeList("l.xxa", ThreeEntries);
        f.writeSettings("l.xxa", {"q.xxa"}, " 4 ");
        f.start();
        const bool list = writer == Register || writer == Delete;
        const QString target = list ? f.cwd.file("l.xxa") : f.settingsFile();
        const Values base = list ? ThreeEntries : SettingsFile;
        FileLock held;
        if (fault.startsWith("another launcher"))
            QCOMPARE(held.lock(target), ErrorNumber::None);
        ScopedUnprivileged::handToNobody(f.cwd.path());
        const bool prepared = prepare(fault, target);
        ScopedUnprivileged user;
        if (!prepared || geteuid() == 0) // user attributes, another owner; permission bits
            QSKIP("this system or user cannot make the row's file, or root cannot be nobody");
        const QByteArray old = readBytes(target);
        const QString before = identity(target);

        rlimit saved{}, lowered{fault == "no space" ? 8 : rlim_t(old.size()) + 1, RLIM_INFINITY};
        getrlimit(RLIMIT_FSIZE, &saved);
        if (fault == "no space" || fault == "second name, fails midway")
            setrlimit(RLIMIT_FSIZE, &lowered);
        std::thread other;
        bool otherWrote = true;
        use(writer, f, [&] {
            if (fault.startsWith("symlink,"))
                QFile::remove(target + ".real");
            if (fault == "another launcher writes meanwhile")
                other = std::thread(anotherLauncher, std::ref(held), target, list, &otherWrote);
        });
        setrlimit(RLIMIT_FSIZE, &saved);
        if (other.joinable())
            other.join();
        QVERIFY(otherWrote && !QFile::exists(wholeCopyPath(target)));

        const bool refused = Faults.indexOf(fault) < 5, removed = fault.startsWith("symlink,");
        const Values now = removed                                        ? (list ? Values() : base)
                           : fault == "another launcher writes meanwhile" ? changed(list, 2)
                                                                          : base;
        QCOMPARE(f.platform.messages, refused ? Values{"書き込みエラー"}
                                      : removed && writer == Delete ? Values{"そこは違います"}
                                                                    : Values());
        QCOMPARE(readBytes(target), refused ? old : listBytes(edit(writer, now)));
        if (removed) // a new file where the link points
            QVERIFY(QFileInfo(target).isSymLink());
        else
            QCOMPARE(identity(target), before);
        if (QFile::exists(target + ".link")) // a second name
            QCOMPARE(readBytes(target + ".link"), readBytes(target));
        if (!refused)
            return;
        if (QWidget* d = topLevel("Form3")) // what the user typed is still there
            QCOMPARE(d->findChild<QLineEdit*>("Text1")->text(), QString("四"));
        held.unlock();
        QVERIFY(prepare("cause gone", target));
        use(writer, f);
        QCOMPARE(readBytes(target), listBytes(edit(writer, base)));
        QCOMPARE(f.platform.messages, Values{"書き込みエラー"});
    }

    // One row for each answer the list reader gives: what the launcher and the
    // delete dialog show, what the user is told, and what a registration of the
    // name does. Reading changes nothing; a registration keeps every byte that
    // was there, or is refused.
    void listFile_data() {
        QTest::addColumn<QByteArray>("bytes"); // "folder", "1 GiB": that in its place
        QTest::addColumn<Values>("shown");
        QTest::addColumn<Values>("messages");
        QTest::addColumn<QByteArray>("added"); // by a registration; empty: refused
        const QByteArray entry = listBytes({"四", "/bin/four"});
        const Values none, noRoom{"これ以上登録できません"};
        auto add = [](const char* tag, const QByteArray& bytes, const Values& shown,
                      const Values& messages, const QByteArray& added) {
            QTest::newRow(tag) << bytes << shown << messages << added;
        };
        const QByteArray kept =
            listBytes({"表", "C:\\ソフト\\表.exe"}) + "a\x85\x40z\r\nx\x81\r\n\r\n\r\n";
        add("code page 932, undecodable bytes, an entry of empty lines", kept,
            {"表", "a\uFFFDz", ""}, none, kept + entry);
        add("lone CR, lone LF, no last line end", "a\rb\nx\r\nc\rd", {"a", "c"}, none,
            "a\r\nb\nx\r\nc\r\nd\r\n" + entry);
        add("empty file", "", none, none, entry);
        const QByteArray utf8 = "\xEF\xBB\xBF" + QString("名前\r\n/ホーム\r\n").toUtf8();
        add("read as UTF-8", utf8, {"名前"}, none, utf8 + QString("四\r\n/bin/four\r\n").toUtf8());
        add("damaged: a name without its path", "a\r\nb\r\nc\r\n", none, noRoom, {});
        add("damaged: 100 entries", listBytes(numberedValues(100)), none, noRoom, {});
        add("damaged: 1 GiB with no line end", "1 GiB", none, noRoom, {});
        add("unreadable: a folder in its place", "folder", none,
            {"読み込みエラー", "書き込みエラー"}, {});
    }

    void listFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(Values, shown);
        QFETCH(Values, messages);
        QFETCH(QByteArray, added);
        LauncherFixture f;
        const QString list = f.cwd.file("l.xxa");
        if (bytes == "folder")
            QDir().mkdir(list);
        else if (bytes == "1 GiB")
            QVERIFY(QFile(list).open(QIODevice::WriteOnly) && QFile::resize(list, qint64(1) << 30));
        else
            writeBytes(list, bytes);
        // The file as it is, without reading a huge one whole.
        auto state = [&] {
            return bytes == "1 GiB" ? QByteArray::number(QFileInfo(list).size()) : readBytes(list);
        };
        const QByteArray before = state();
        f.writeSettings("l.xxa");
        f.start();
        QCOMPARE(comboItems(f.launcher->findChild<QComboBox*>("Combo1")), shown);
        QCOMPARE(comboItems(f.openDialog("sk2").findChild<QComboBox*>("Combo1")), shown);
        use(Register, f);
        QCOMPARE(f.platform.messages, messages);
        QCOMPARE(state(), added.isEmpty() ? before : added);
    }
};

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
