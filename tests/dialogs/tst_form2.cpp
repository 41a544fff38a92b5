// The delete dialog: removing the picked entry, refusing stale or missing
// picks, its load failures, and working beside the options dialog.
#include "Form2.h"
#include "Form3.h"
#include "LauncherFixture.h"
#include "SafeWrite.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class Form2Test : public QObject {
    Q_OBJECT
  private slots:
    void deletesPickedEntry_data();
    void deletesPickedEntry();
    void deleteNeedsAPickInTheListShownNow();
    void changedOrUnwritableFileIsNotEdited();
    void loadFailures_data();
    void loadFailures();
    void besideOptionsDialogNoEntryIsLost();
    void closingShowsLauncher();
};

namespace {
const QStringList ThreeEntries{"一", "/bin/one", "二", "/bin/two", "三", "/bin/three"};

struct Fixture : LauncherFixture {
    Fixture(const QStringList& list = ThreeEntries) {
        writeList("l.xxa", list);
        writeSettings("l.xxa");
        start();
    }
    Form2& openDelete() {
        launcher->sk2_Click();
        return *launcher->deleteDialog();
    }
    QByteArray listFile() const { return readBytes(cwd.file("l.xxa")); }
};

QComboBox* combo(Form2& d) {
    return d.findChild<QComboBox*>("Combo1");
}

QStringList items(Form2& d) {
    QStringList names;
    for (int i = 0; i < combo(d)->count(); ++i)
        names << combo(d)->itemText(i);
    return names;
}
} // namespace

void Form2Test::deletesPickedEntry_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<int>("pick");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("first") << ThreeEntries << 0 << ThreeEntries.mid(2);
    QTest::newRow("last") << ThreeEntries << 2 << ThreeEntries.first(4);
    QTest::newRow("only") << QStringList{"一", "/bin/one"} << 0 << QStringList();
}

void Form2Test::deletesPickedEntry() {
    QFETCH(QStringList, before);
    QFETCH(int, pick);
    QFETCH(QStringList, after);
    Fixture f(before);
    Form2& d = f.openDelete();
    QVERIFY(!combo(d)->isEditable()); // only a pick from the list names an entry
    d.Combo1_Click(pick);
    d.findChild<QPushButton*>("Command1")->click();
    QCOMPARE(f.listFile(), listBytes(after));
    QStringList names;
    for (int i = 0; i < after.size(); i += 2)
        names << after[i];
    QCOMPARE(items(d), names);
    QCOMPARE(combo(d)->currentIndex(), -1);
    QVERIFY(f.platform.messages.isEmpty());
}

void Form2Test::deleteNeedsAPickInTheListShownNow() {
    Fixture f;
    Form2& d = f.openDelete();
    d.Command1_Click(); // nothing picked since the opening
    QCOMPARE(f.listFile(), listBytes(ThreeEntries));

    d.Combo1_Click(0);
    d.Command1_Click();
    d.Command1_Click(); // the pick went with the deleted entry
    QCOMPARE(f.listFile(), listBytes(ThreeEntries.mid(2)));

    // A load that fails leaves nothing to pick.
    QStringList hundred;
    for (int i = 1; i <= 100; ++i)
        hundred << QString::number(i) << "/bin/x";
    writeBytes(f.cwd.file("l.xxa"), listBytes(hundred));
    d.Combo1_Click(0);
    d.Command1_Click(); // sees the change, deletes nothing, reloads and fails
    QCOMPARE(items(d), QStringList());
    d.Command1_Click();
    QCOMPARE(f.listFile(), listBytes(hundred));
    QCOMPARE(f.platform.messageTexts(), QStringList(4, "そこは違います"));
}

void Form2Test::changedOrUnwritableFileIsNotEdited() {
    Fixture f;
    Form2& d = f.openDelete();
    d.Combo1_Click(1); // 二
    // Another program removes the first entry: slot 2 now holds 三. The
    // dialog shows the list as it is now and asks for a new pick.
    writeBytes(f.cwd.file("l.xxa"), listBytes(ThreeEntries.mid(2)));
    d.Command1_Click();
    QCOMPARE(f.listFile(), listBytes(ThreeEntries.mid(2)));
    QCOMPARE(items(d), QStringList({"二", "三"}));
    QCOMPARE(f.platform.messageTexts(), QStringList{"そこは違います"});
    d.Combo1_Click(1);
    d.Command1_Click();
    QCOMPARE(f.listFile(), listBytes(ThreeEntries.mid(2, 2)));

    d.Combo1_Click(0);
    setWriteFaultForTesting(WriteFault::AtCommit);
    d.Command1_Click();
    setWriteFaultForTesting(WriteFault::None);
    QCOMPARE(f.platform.messageTexts(), QStringList({"そこは違います", "書き込みエラー"}));
    QCOMPARE(f.listFile(), listBytes(ThreeEntries.mid(2, 2)));
}

void Form2Test::loadFailures_data() {
    QTest::addColumn<QString>("change"); // to the list file, after the launcher loaded it
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("folder") << "folder" << QStringList{"読み込みエラー"};
    QTest::newRow("no path published") << "unloaded" << QStringList{"読み込みエラー"};
    QTest::newRow("missing") << "missing" << QStringList();
    QTest::newRow("path line missing") << "odd" << QStringList();
}

void Form2Test::loadFailures() {
    QFETCH(QString, change);
    QFETCH(QStringList, messages);
    Fixture f;
    const QString list = f.cwd.file("l.xxa");
    if (change == "unloaded")
        f.launcher = std::make_unique<Form1>(f.platform);
    if (change == "folder" || change == "missing")
        QFile::remove(list);
    if (change == "folder")
        QDir().mkdir(list);
    if (change == "odd")
        writeBytes(list, listBytes({"一", "/bin/one", "二"}));
    Form2& d = f.openDelete();
    QCOMPARE(f.platform.messageTexts(), messages);
    for (const FakePlatform::Message& m : f.platform.messages)
        QCOMPARE(m.title, QString("Tovlan"));
    QCOMPARE(items(d), QStringList());
}

void Form2Test::besideOptionsDialogNoEntryIsLost() {
    Fixture f;
    Form2& del = f.openDelete();
    f.launcher->sk7_Click();
    Form3& options = *f.launcher->optionsDialog();
    auto registerEntry = [&](const QString& name) {
        options.findChild<QLineEdit*>("Text1")->setText(name);
        options.Command1_Click();
    };

    del.Combo1_Click(2); // 三
    registerEntry("四");
    del.Command1_Click();
    QCOMPARE(items(del), QStringList({"一", "二", "四"}));
    del.Combo1_Click(0); // 一
    registerEntry("五");
    del.Command1_Click();
    QCOMPARE(f.listFile(), listBytes({"二", "/bin/two", "四", "C:\\", "五", "C:\\"}));
}

namespace {
// The buttons are pressed with Enter, as a keyboard user does.
void pressEnterOn(Form2& d, const char* button) {
    QApplication::setActiveWindow(&d);
    auto* widget = d.findChild<QPushButton*>(button);
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_Return);
}
} // namespace

void Form2Test::closingShowsLauncher() {
    Fixture f;
    Form2& d = f.openDelete();
    d.Combo1_Click(0);
    pressEnterOn(d, "Command1");
    QCOMPARE(f.listFile(), listBytes(ThreeEntries.mid(2)));
    f.launcher->hyouzi_Click();
    d.close(); // as the window system asks: shown, not reloaded
    QVERIFY(f.launcher->isVisible());
    QCOMPARE(f.comboItems(), QStringList({"一", "二", "三"}));
    QTRY_VERIFY(!f.launcher->deleteDialog());

    Form2& again = f.openDelete();
    pressEnterOn(again, "Command2");
    QCOMPARE(f.comboItems(), QStringList({"二", "三"}));
    QVERIFY(f.launcher->isVisible() && f.platform.trayIconPresent);
    QTRY_VERIFY(!f.launcher->deleteDialog());

    // Escape closes it as the window's close button does.
    f.launcher->hide();
    Form2& third = f.openDelete();
    QTest::keyClick(combo(third), Qt::Key_Escape);
    QVERIFY(f.launcher->isVisible());
    QTRY_VERIFY(!f.launcher->deleteDialog());
}

QTEST_MAIN(Form2Test)
#include "tst_form2.moc"
