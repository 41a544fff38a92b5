// Every writer of a list or settings file meets each way a write can fail:
// the old file stays byte for byte, the user is told "書き込みエラー", and
// what the window holds still matches the file, so trying again after the
// cause is gone writes exactly what the user asked for, once.
#include "FaultInjection.h"
#include "Form2.h"
#include "Form3.h"
#include "LauncherFixture.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// What the user sees once the write was tried under the fault.
enum class Outcome {
    Refused,    // "書き込みエラー"; the file as it was
    ReadFailed, // the file can no longer be read: "読み込みエラー", nothing shown
    Recreated,  // written anew from what the window holds; no message
    Unwritten,  // nothing to act on any more: no write, no message
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
        const QStringList told =
            outcome == Outcome::ReadFailed ? QStringList{"読み込みエラー"} : QStringList();
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

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
