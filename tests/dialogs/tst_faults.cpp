// Every writer of a list or settings file meets each way a write can fail:
// the old file stays byte for byte, the user is told "書き込みエラー", and
// what the window holds still matches the file, so trying again after the
// cause is gone writes exactly what the user asked for, once.
#include "ErrorNumbers.h"
#include "FaultInjection.h"
#include "Form2.h"
#include "Form3.h"
#include "LauncherFixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/xattr.h>

// What the user sees once the write was tried under the fault.
enum class Outcome {
    Refused,    // "書き込みエラー"; the file as it was
    ReadFailed, // the file can no longer be read: "読み込みエラー", nothing shown
    Recreated,  // written anew from what the window holds; no message
    Unwritten,  // nothing to act on any more: no write, "そこは違います"
};

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Outcome)

namespace {

const QStringList ThreeEntries{"一", "/bin/one", "二", "/bin/two", "三", "/bin/three"};
const QString WriteError = QStringLiteral("書き込みエラー");

// A launcher on list l.xxa with corner 4 and one quick file.
struct Scenario : LauncherFixture {
    Scenario() {
        writeList("l.xxa", ThreeEntries);
        writeSettings("l.xxa", {"q.xxa"}, " 4 ");
        start();
    }
    QString list() const { return cwd.file("l.xxa"); }
    QString settingsFile() const { return cwd.file("設定.ini"); }
    Form3& options() {
        launcher->sk7_Click();
        return *launcher->optionsDialog();
    }
    Form2& deletion() {
        launcher->sk2_Click();
        return *launcher->deleteDialog();
    }
};

QLineEdit* box(QWidget& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(name);
}

QStringList items(Form2& dialog) {
    auto* combo = dialog.findChild<QComboBox*>("Combo1");
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names << combo->itemText(i);
    return names;
}

QByteArray settingsBytes(const QString& startup, const QString& quick1, const QString& corner) {
    QStringList lines;
    for (int i = 0; i < 4; ++i)
        lines << startup << (i == 0 ? quick1 : QString()) << corner;
    return listBytes(lines);
}

// The rows every writer meets; only the two changes made by someone else
// while the window was open end differently from one writer to the next.
void addFaultRows(Outcome folderInPlace, Outcome fileRemoved) {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<Outcome>("outcome");
    QTest::newRow("fails at its start") << Fault::AtOpen << Outcome::Refused;
    QTest::newRow("fails in its middle") << Fault::InMiddle << Outcome::Refused;
    QTest::newRow("fails at its commit") << Fault::AtCommit << Outcome::Refused;
    QTest::newRow("no space") << Fault::NoSpace << Outcome::Refused;
    QTest::newRow("read-only folder") << Fault::ReadOnlyFolder << Outcome::Refused;
    QTest::newRow("folder in place of the file") << Fault::FolderInPlace << folderInPlace;
    QTest::newRow("file removed after reading") << Fault::FileRemoved << fileRemoved;
    QTest::newRow("another launcher holds the file") << Fault::Locked << Outcome::Refused;
    QTest::newRow("second name: in place, fails in its middle")
        << Fault::InPlace << Outcome::Refused;
}

// A file's identity: what a rewrite must keep besides the contents.
struct Identity {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
    nlink_t names = 0;
    bool symlink = false;
    QByteArray attribute; // user.tovlan, where the file system has user attributes

    explicit Identity(const QString& path) {
        struct stat info {};
        stat(QFile::encodeName(path).constData(), &info);
        owner = info.st_uid;
        group = info.st_gid;
        mode = info.st_mode & 07777;
        names = info.st_nlink;
        symlink = QFileInfo(path).isSymLink();
        char value[64];
        const ssize_t size =
            getxattr(QFile::encodeName(path).constData(), "user.tovlan", value, sizeof value);
        attribute = size > 0 ? QByteArray(value, size) : QByteArray();
    }
    bool operator==(const Identity&) const = default;
};

constexpr uid_t OtherOwner = 1;    // daemon
constexpr gid_t SharedGroup = 100; // users

// For its lifetime the process writes as "nobody", a member of the group the
// file is shared with, while the file belongs to another user: two people
// sharing a list through a group.
class AsGroupMember {
  public:
    AsGroupMember() {
        saved_.resize(getgroups(0, nullptr));
        getgroups(saved_.size(), saved_.data());
        const gid_t shared = SharedGroup;
        switched_ = setgroups(1, &shared) == 0 && setegid(ScopedUnprivileged::Nobody) == 0 &&
                    seteuid(ScopedUnprivileged::Nobody) == 0;
    }
    ~AsGroupMember() {
        if (seteuid(0) != 0 || setegid(0) != 0 || setgroups(saved_.size(), saved_.data()) != 0)
            std::abort(); // the rest of the run would not be root
    }
    bool switched() const { return switched_; }

  private:
    QList<gid_t> saved_;
    bool switched_ = false;
};

// Gives the file the identity a row names; answers why the test cannot run
// here, or the empty text.
QString giveIdentity(const QString& kind, const QString& file) {
    const QByteArray path = QFile::encodeName(file);
    if (kind == "hard link")
        addSecondName(file, file + ".link");
    if (kind == "mode 0600")
        chmod(path.constData(), 0600);
    if (kind == "mode 0640")
        chmod(path.constData(), 0640);
    if (kind == "symlink") {
        QFile::rename(file, file + ".real");
        QFile::link(QFileInfo(file).fileName() + ".real", file);
    }
    if (kind == "user attribute" && setxattr(path.constData(), "user.tovlan", "kept", 4, 0) != 0)
        return "the test folder's file system has no user extended attributes";
    if (kind == "another owner, shared group") {
        if (geteuid() != 0)
            return "making a file of another user needs root";
        chmod(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), 0777);
        if (chown(path.constData(), OtherOwner, SharedGroup) != 0 || chmod(path.constData(), 0660))
            return "cannot hand the file to another user";
    }
    return QString();
}

// One of two launchers registering into one list at once: registers its
// entries one after another and deletes each again 40 registrations later,
// through the dialogs' buttons, as fast as they go, so the list stays within
// its 99 entries. "そこは違います" is part of it: the other launcher changed
// the list under the delete dialog, which reloads, and the entry is picked
// again. Says on stdout how often that happened.
const char TwoLaunchersFlag[] = "--register-and-delete";
constexpr int Rounds = 200;
constexpr int Kept = 40;

QString entryName(const QString& who, int round) {
    return who + QString::number(round);
}

bool deleteEntry(Form2& dialog, const QString& name) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const qsizetype index = items(dialog).indexOf(name);
        if (index < 0)
            return attempt > 0;
        dialog.Combo1_Click(int(index));
        dialog.findChild<QPushButton*>("Command1")->click();
    }
    return false;
}

int registerAndDelete(const QString& folder, const QString& who) {
    QDir::setCurrent(folder);
    FakePlatform platform;
    platform.programFolder = folder;
    Form1 launcher(platform);
    launcher.Form_Load();
    launcher.sk7_Click();
    Form3& options = *launcher.optionsDialog();
    Form2* deletion = nullptr;
    for (int round = 1; round <= Rounds; ++round) {
        box(options, "Text1")->setText(entryName(who, round));
        box(options, "Text2")->setText("/bin/" + who);
        options.findChild<QPushButton*>("Command1")->click();
        if (round <= Kept)
            continue;
        if (!deletion) {
            launcher.sk2_Click();
            deletion = launcher.deleteDialog();
        }
        if (!deleteEntry(*deletion, entryName(who, round - Kept)))
            return 1;
    }
    const QStringList told = platform.messageTexts();
    std::printf("%lld\n", static_cast<long long>(told.count("そこは違います")));
    if (told.count("そこは違います") != told.size())
        std::fprintf(stderr, "%s\n", qPrintable(told.join(' ')));
    return told.count("そこは違います") == told.size() ? 0 : 1;
}

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT
  private slots:
    void registration_data();
    void registration();
    void deletion_data();
    void deletion();
    void optionsOk_data();
    void optionsOk();
    void corner_data();
    void corner();
    void identityKeptByEveryWriter_data();
    void identityKeptByEveryWriter();
    void twoLaunchersAtOnceLoseNothing();
};

void FaultsTest::registration_data() {
    // A removed list is a new list to the dialog: the registration makes it.
    addFaultRows(Outcome::Refused, Outcome::Recreated);
}

void FaultsTest::registration() {
    QFETCH(Fault, fault);
    QFETCH(Outcome, outcome);
    Scenario s;
    Form3& d = s.options();
    box(d, "Text1")->setText("四");
    box(d, "Text2")->setText("/bin/four");
    InjectedFault injected(fault, s.list());
    if (!injected.inForce())
        QSKIP("running as root and cannot become nobody: permission bits would not count");
    d.Command1_Click();

    if (outcome == Outcome::Recreated) {
        QCOMPARE(s.platform.messageTexts(), QStringList());
        QCOMPARE(readBytes(s.list()), listBytes({"四", "/bin/four"}));
        return;
    }
    QCOMPARE(s.platform.messageTexts(), QStringList{WriteError});
    QVERIFY(injected.targetUnchanged());
    QCOMPARE(box(d, "Text1")->text(), QString("四"));
    QCOMPARE(box(d, "Text2")->text(), QString("/bin/four"));

    injected.clear();
    d.Command1_Click();
    QCOMPARE(readBytes(s.list()), listBytes(ThreeEntries + QStringList{"四", "/bin/four"}));
    QCOMPARE(box(d, "Text1")->text(), QString());
    QCOMPARE(s.platform.messageTexts(), QStringList{WriteError});
}

void FaultsTest::deletion_data() {
    // The dialog reads the file again before it deletes anything, so a file
    // that changed under it is never rewritten from its old copy.
    addFaultRows(Outcome::ReadFailed, Outcome::Unwritten);
}

void FaultsTest::deletion() {
    QFETCH(Fault, fault);
    QFETCH(Outcome, outcome);
    Scenario s;
    Form2& d = s.deletion();
    d.Combo1_Click(1); // 二
    InjectedFault injected(fault, s.list());
    if (!injected.inForce())
        QSKIP("running as root and cannot become nobody: permission bits would not count");
    d.Command1_Click();

    if (outcome == Outcome::ReadFailed || outcome == Outcome::Unwritten) {
        const QStringList told = outcome == Outcome::ReadFailed ? QStringList{"読み込みエラー"}
                                                                : QStringList{"そこは違います"};
        QCOMPARE(s.platform.messageTexts(), told);
        QVERIFY(outcome == Outcome::ReadFailed ? injected.targetUnchanged()
                                               : !QFile::exists(s.list()));
        QCOMPARE(items(d), QStringList());
        return;
    }
    QCOMPARE(s.platform.messageTexts(), QStringList{WriteError});
    QVERIFY(injected.targetUnchanged());
    QCOMPARE(items(d), QStringList({"一", "二", "三"}));

    injected.clear();
    d.Combo1_Click(1);
    d.Command1_Click();
    QCOMPARE(readBytes(s.list()), listBytes({"一", "/bin/one", "三", "/bin/three"}));
    QCOMPARE(items(d), QStringList({"一", "三"}));
    QCOMPARE(s.platform.messageTexts(), QStringList{WriteError});
}

void FaultsTest::optionsOk_data() {
    // The dialog holds every value of the file, so a removed file is made again.
    addFaultRows(Outcome::Refused, Outcome::Recreated);
}

void FaultsTest::optionsOk() {
    QFETCH(Fault, fault);
    QFETCH(Outcome, outcome);
    Scenario s;
    Form3& d = s.options();
    box(d, "Text3")->setText("new.xxa");
    box(d, "Text4")->setText("q1.xxa");
    const QByteArray typed = settingsBytes("new.xxa", "q1.xxa", " 4 ");
    InjectedFault injected(fault, s.settingsFile());
    if (!injected.inForce())
        QSKIP("running as root and cannot become nobody: permission bits would not count");
    d.findChild<QPushButton*>("OK")->click();

    if (outcome == Outcome::Recreated) {
        QCOMPARE(s.platform.messageTexts(), QStringList());
        QCOMPARE(readBytes(s.settingsFile()), typed);
        QTRY_VERIFY(!s.launcher->optionsDialog());
        return;
    }
    QCOMPARE(s.platform.messageTexts(), QStringList{WriteError});
    QVERIFY(injected.targetUnchanged());
    // The user was told; OK still goes on: the launcher reloads and is shown.
    QTRY_VERIFY(!s.launcher->optionsDialog());
    QVERIFY(s.launcher->isVisible());
}

void FaultsTest::corner_data() {
    // The launcher holds every value of the file, so a removed file is made again.
    addFaultRows(Outcome::Refused, Outcome::Recreated);
}

void FaultsTest::corner() {
    QFETCH(Fault, fault);
    QFETCH(Outcome, outcome);
    Scenario s;
    InjectedFault injected(fault, s.settingsFile());
    if (!injected.inForce())
        QSKIP("running as root and cannot become nobody: permission bits would not count");
    s.launcher->corner_Click(1);
    // The window moved and the item is ticked before the save is tried.
    QCOMPARE(s.platform.lastMoveTwips, s.platform.screen.topLeft());
    QVERIFY(s.launcher->menus().corners[0]->isChecked());
    const QByteArray topLeft = settingsBytes("l.xxa", "q.xxa", " 1 ");

    if (outcome == Outcome::Recreated) {
        QCOMPARE(s.platform.messageTexts(), QStringList());
        QCOMPARE(readBytes(s.settingsFile()), topLeft);
        return;
    }
    // The corner the window shows is not the one saved, and the user is told.
    QCOMPARE(s.platform.messageTexts(), QStringList{WriteError});
    QVERIFY(injected.targetUnchanged());

    injected.clear();
    s.launcher->corner_Click(1);
    QCOMPARE(readBytes(s.settingsFile()), topLeft);
    QCOMPARE(s.platform.messageTexts(), QStringList{WriteError});
}

void FaultsTest::identityKeptByEveryWriter_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"hard link", "mode 0600", "mode 0640", "symlink", "user attribute",
                             "another owner, shared group"})
        QTest::newRow(kind) << QString(kind);
}

// Each writer in turn, through its button or menu item, on the file it
// writes: the file has new contents and is still the same file.
void FaultsTest::identityKeptByEveryWriter() {
    QFETCH(QString, kind);
    Scenario s;
    for (const QString& file : {s.list(), s.settingsFile()}) {
        if (const QString reason = giveIdentity(kind, file); !reason.isEmpty())
            QSKIP(qPrintable(reason));
    }
    const std::pair<QString, std::function<void()>> writers[] = {
        {s.list(),
         [&] {
             Form3& d = s.options();
             box(d, "Text1")->setText("四");
             d.findChild<QPushButton*>("Command1")->click();
         }},
        {s.list(),
         [&] {
             Form2& d = s.deletion();
             d.Combo1_Click(0);
             d.findChild<QPushButton*>("Command1")->click();
         }},
        {s.settingsFile(),
         [&] {
             Form3& d = s.options();
             box(d, "Text3")->setText("new.xxa");
             d.findChild<QPushButton*>("OK")->click();
         }},
        {s.settingsFile(), [&] { s.launcher->menus().corners[0]->trigger(); }},
    };
    for (const auto& [file, write] : writers) {
        const Identity before(file);
        const QByteArray old = readBytes(file);
        {
            std::optional<AsGroupMember> member;
            if (kind == "another owner, shared group" && !member.emplace().switched())
                QSKIP("running as root and cannot become nobody");
            write();
        }
        QCOMPARE(s.platform.messageTexts(), QStringList());
        QVERIFY(readBytes(file) != old);
        QVERIFY(Identity(file) == before);
        if (kind == "hard link")
            QCOMPARE(readBytes(file + ".link"), readBytes(file));
        QVERIFY(!QFile::exists(wholeCopyPath(file)));
    }
}

void FaultsTest::twoLaunchersAtOnceLoseNothing() {
    LauncherFixture f;
    f.writeList("l.xxa", {});
    f.writeSettings("l.xxa");
    QProcess launchers[2];
    const QString names[2] = {"A", "B"};
    for (int i = 0; i < 2; ++i)
        launchers[i].start(QCoreApplication::applicationFilePath(),
                           {TwoLaunchersFlag, f.cwd.path(), names[i]});
    QStringList retries;
    for (QProcess& launcher : launchers) {
        QVERIFY(launcher.waitForFinished(100000));
        QVERIFY2(launcher.exitCode() == 0, launcher.readAllStandardError().constData());
        retries << launcher.readAllStandardOutput().trimmed();
    }
    ShortcutList list;
    QCOMPARE(ReadShortcutList(f.cwd.file("l.xxa"), list), ErrorNumber::None);
    QStringList found, expected;
    for (int slot = 1; slot <= list.count; ++slot)
        found << list.entries[slot].name;
    for (const QString& who : names) {
        for (int round = Rounds - Kept + 1; round <= Rounds; ++round)
            expected << entryName(who, round);
    }
    found.sort();
    expected.sort();
    QCOMPARE(found, expected);
    qInfo("%d registrations and %d deletions in each launcher; picked again after a change: %s",
          Rounds, Rounds - Kept, qPrintable(retries.join('/')));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc == 4 && qstrcmp(argv[1], TwoLaunchersFlag) == 0)
        return registerAndDelete(QFile::decodeName(argv[2]), QFile::decodeName(argv[3]));
    FaultsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_faults.moc"
