// The launcher's commands: running a shortcut and the popup menu's list,
// corner and quit commands.
#include "ErrorNumbers.h"
#include "LauncherFixture.h"
#include "SafeWrite.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class CommandsTest : public QObject {
    Q_OBJECT
  private slots:
    void runNeedsAPickedShownEntry();
    void runKeepsPickOnlyWhileItsEntryStays_data();
    void runKeepsPickOnlyWhileItsEntryStays();
    void runReportsTargetThatCannotOpen();
    void runHandsUndecodableTargetOverAsItsBytes();
    void rightButtonReleaseOpensPopup();
    void keysOpenPopupAndPressRun_data();
    void keysOpenPopupAndPressRun();
    void runButtonShowsWhenFocused();
    void newListAppendsExtension_data();
    void newListAppendsExtension();
    void openListKeepsShownListOnCancel();
    void openListRecordRemembersLastChoice();
    void quickFileSwitchesList();
    void cornerMovesTicksAndSaves_data();
    void cornerMovesTicksAndSaves();
    void cornerSaveFailureIsReportedAfterMove();
    void quitEndsWithoutSaving();
};

namespace {
const QStringList ThreeEntries{"一", "/bin/one", "二", "/bin/two", "三", "/bin/three"};
}

void CommandsTest::runNeedsAPickedShownEntry() {
    LauncherFixture f;
    f.writeList("l.xxa", ThreeEntries);
    f.writeSettings("l.xxa");
    Form1& w = f.start();
    QApplication::setActiveWindow(&w);
    w.combo()->setFocus();
    w.combo()->setEditText("三"); // typing is no pick, nor is leaving the field
    QTest::keyClick(w.combo(), Qt::Key_Tab);
    QTest::keyClick(w.runButton(), Qt::Key_Return);
    QCOMPARE(f.platform.messageTexts(), QStringList({"そこは違います"}));
    QCOMPARE(f.platform.messages[0].title, QString("Tovlan"));
    QVERIFY(f.platform.launches.isEmpty());
}

namespace {
// Picks the entry at position (from 1) the user's way: the arrow key in the
// box, from the entry above it.
void pick(Form1& w, int position) {
    w.combo()->setCurrentIndex(position - 2);
    QTest::keyClick(w.combo(), Qt::Key_Down);
}
} // namespace

void CommandsTest::runKeepsPickOnlyWhileItsEntryStays_data() {
    QTest::addColumn<bool>("quickFile"); // else a close request reloads the list
    QTest::addColumn<QStringList>("reloaded");
    QTest::addColumn<QString>("launched"); // empty: "そこは違います"
    const QStringList two{"一", "/bin/one", "二", "/bin/two"};
    QTest::newRow("same list") << false << ThreeEntries << "/bin/two";
    QTest::newRow("entry after it deleted")
        << false << QStringList({"一", "/bin/one", "二", "/bin/two"}) << "/bin/two";
    // "消去" of the first entry slides the third into the second place.
    QTest::newRow("entry before it deleted")
        << false << QStringList({"二", "/bin/two", "三", "/bin/three"}) << "";
    QTest::newRow("its target changed")
        << false << QStringList({"一", "/bin/one", "二", "/bin/2", "三", "/bin/three"}) << "";
    QTest::newRow("list too short") << false << QStringList({"一", "/bin/one"}) << "";
    QTest::newRow("other list, same entry there") << true << two << "/bin/two";
    QTest::newRow("other list") << true << QStringList({"A", "/bin/a", "B", "/bin/b"}) << "";
}

void CommandsTest::runKeepsPickOnlyWhileItsEntryStays() {
    QFETCH(bool, quickFile);
    QFETCH(QStringList, reloaded);
    QFETCH(QString, launched);
    LauncherFixture f;
    f.writeList("l.xxa", ThreeEntries);
    f.writeSettings("l.xxa", {"q.xxa"});
    Form1& w = f.start();
    pick(w, 2);
    w.runButton()->click();
    QCOMPARE(f.platform.launches.size(), 1);
    QCOMPARE(f.platform.launches[0].operation, QString("open"));
    QCOMPARE(f.platform.launches[0].file, QString("/bin/two"));

    f.writeList(quickFile ? "q.xxa" : "l.xxa", reloaded);
    if (quickFile)
        w.menus().quickFiles[0]->trigger();
    else
        w.close();
    // The box shows the pick that "実行" runs, or none.
    QCOMPARE(w.combo()->currentIndex(), launched.isEmpty() ? -1 : 1);
    QCOMPARE(w.combo()->currentText(), launched.isEmpty() ? QString() : QString("二"));
    w.runButton()->click();
    if (launched.isEmpty()) {
        QCOMPARE(f.platform.launches.size(), 1);
        QCOMPARE(f.platform.messageTexts(), QStringList({"そこは違います"}));
    } else {
        QCOMPARE(f.platform.launches.size(), 2);
        QCOMPARE(f.platform.launches[1].file, launched);
        QVERIFY(f.platform.messages.isEmpty());
    }
}

void CommandsTest::runReportsTargetThatCannotOpen() {
    LauncherFixture f;
    f.writeList("l.xxa", {"無い", "/no/such file 表.txt"});
    f.writeSettings("l.xxa");
    Form1& w = f.start();
    f.platform.shellResult = 2;
    w.Combo1_Click(0);
    w.Command1_Click();
    QCOMPARE(f.platform.launches[0].file, QString("/no/such file 表.txt"));
    QCOMPARE(f.platform.messageTexts(), QStringList({"ファイルが存在しません"}));
}

void CommandsTest::runHandsUndecodableTargetOverAsItsBytes() {
    LauncherFixture f;
    // 0x81 0x20: a lead byte of code page 932 without its second byte.
    const QByteArray undecodable("/home/\x81\x20memo.txt");
    writeBytes(f.cwd.file("l.xxa"), cp932("壊れ") + "\r\n" + undecodable + "\r\n" + cp932("表") +
                                        "\r\n" + cp932("/home/表.txt") + "\r\n");
    f.writeSettings("l.xxa");
    Form1& w = f.start();
    pick(w, 1);
    w.runButton()->click();
    pick(w, 2);
    w.runButton()->click();
    QCOMPARE(f.platform.launches.size(), 2);
    QCOMPARE(f.platform.launches[0].undecoded, undecodable);
    QCOMPARE(f.platform.launches[1].undecoded, QByteArray());
    QCOMPARE(f.platform.launches[1].file, QString("/home/表.txt"));
}

void CommandsTest::rightButtonReleaseOpensPopup() {
    LauncherFixture f;
    Form1& w = f.start();
    QTest::mouseRelease(w.runButton(), Qt::LeftButton);
    QTest::mouseRelease(w.runButton(), Qt::MiddleButton);
    QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(w.width() - 1, w.height() - 1));
    QVERIFY(f.platform.popups.isEmpty());
    QTest::mouseRelease(w.runButton(), Qt::RightButton);
    QTest::mouseRelease(&w, Qt::RightButton, {}, QPoint(w.width() - 1, w.height() - 1));
    QCOMPARE(f.platform.popups, QList<QMenu*>({w.menus().op1, w.menus().op1}));
    QCOMPARE(f.platform.popupFlags, QList<int>({0, 0}));
}

void CommandsTest::keysOpenPopupAndPressRun_data() {
    QTest::addColumn<QString>("focus"); // "edit", "button" or "window"
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("effect"); // "menu", "run" or ""
    const int shift = Qt::ShiftModifier;
    const int none = Qt::NoModifier;
    QTest::newRow("Shift+F10 in the edit field") << "edit" << int(Qt::Key_F10) << shift << "menu";
    QTest::newRow("Menu key on the button") << "button" << int(Qt::Key_Menu) << none << "menu";
    QTest::newRow("Shift+F10 on the window") << "window" << int(Qt::Key_F10) << shift << "menu";
    QTest::newRow("Return on the button") << "button" << int(Qt::Key_Return) << none << "run";
    QTest::newRow("keypad Enter on the button")
        << "button" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "run";
    QTest::newRow("F10 alone") << "edit" << int(Qt::Key_F10) << none << "";
    QTest::newRow("Return in the edit field") << "edit" << int(Qt::Key_Return) << none << "";
    // The Menu key on X comes with a context menu request; only the key counts.
    QTest::newRow("the request alone") << "edit" << 0 << none << "";
}

void CommandsTest::keysOpenPopupAndPressRun() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, effect);
    LauncherFixture f;
    f.writeList("l.xxa", ThreeEntries);
    f.writeSettings("l.xxa");
    Form1& w = f.start();
    QApplication::setActiveWindow(&w);
    w.Combo1_Click(1);
    QWidget* anchor = &w;
    if (focus == "edit")
        anchor = w.combo();
    else if (focus == "button")
        anchor = w.runButton();
    anchor->setFocus();
    w.combo()->setEditText("三"); // typing is no pick, Enter or not
    bool qtMenuShown = false;
    if (key) {
        QTest::keyClick(anchor, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    } else {
        QTimer::singleShot(50, [&] {
            if (QWidget* menu = QApplication::activePopupWidget())
                qtMenuShown = menu->close();
        });
        QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                  anchor->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(anchor, &request);
        QTest::qWait(100);
    }
    QVERIFY(!qtMenuShown);
    QCOMPARE(w.pickedPosition(), 2);

    // The menu opens under the focused control, not wherever the pointer is.
    const QList<std::optional<QPoint>> popupAt = {anchor->mapToGlobal(QPoint(0, anchor->height()))};
    QCOMPARE(f.platform.popups, effect == "menu" ? QList<QMenu*>{w.menus().op1} : QList<QMenu*>());
    QCOMPARE(f.platform.popupPoints, effect == "menu" ? popupAt : QList<std::optional<QPoint>>());
    QCOMPARE(f.platform.launches.size(), effect == "run" ? 1 : 0);
    QVERIFY(f.platform.messages.isEmpty());
}

// The button's picture fills it, so the focus needs a mark of its own.
void CommandsTest::runButtonShowsWhenFocused() {
    LauncherFixture f;
    Form1& w = f.start();
    QApplication::setActiveWindow(&w);
    w.combo()->setFocus();
    const QImage unfocused = w.runButton()->grab().toImage();
    QTest::keyClick(w.combo()->lineEdit(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.runButton());
    QVERIFY(w.runButton()->grab().toImage() != unfocused);
}

void CommandsTest::newListAppendsExtension_data() {
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("new name") << std::optional<QString>("memo") << "memo.xxa" << QStringList();
    QTest::newRow("name with extension")
        << std::optional<QString>("memo.xxa") << "memo.xxa.xxa" << QStringList();
    QTest::newRow("cancelled") << std::optional<QString>() << ".xxa" << QStringList();
    QTest::newRow("existing list")
        << std::optional<QString>("有る") << "有る.xxa" << QStringList({"既存"});
}

void CommandsTest::newListAppendsExtension() {
    QFETCH(std::optional<QString>, answer);
    QFETCH(QString, path);
    QFETCH(QStringList, shown);
    LauncherFixture f;
    f.writeList("l.xxa", ThreeEntries);
    f.writeList("有る.xxa", {"既存", "/bin/x"});
    f.writeSettings("l.xxa");
    Form1& w = f.start();
    if (answer)
        f.platform.inputAnswers.push_back(*answer);
    w.new_Click();
    QCOMPARE(f.platform.inputPrompts, QStringList({"ファイル名を記入してください。"}));
    QCOMPARE(w.currentListPath(), path);
    QCOMPARE(w.command1Tag(), path);
    QCOMPARE(f.comboItems(), shown);
    QCOMPARE(QFile::exists(f.cwd.file(path)), !shown.isEmpty());
}

void CommandsTest::openListKeepsShownListOnCancel() {
    LauncherFixture f;
    f.writeList("l.xxa", ThreeEntries);
    f.writeSettings("l.xxa");
    Form1& w = f.start();
    w.sk13_Click(); // no answer queued: cancel
    QCOMPARE(f.platform.openDialogs[0].lpstrTitle, QString("ファイルを開く"));
    QCOMPARE(f.platform.openDialogs[0].Flags, quint32(OFN_FILEMUSTEXIST));
    QCOMPARE(w.currentListPath(), QString());
    QCOMPARE(w.command1Tag(), QString("l.xxa"));
    QCOMPARE(f.comboItems(), QStringList({"一", "二", "三"}));
}

void CommandsTest::openListRecordRemembersLastChoice() {
    LauncherFixture f;
    QDir(f.cwd.path()).mkdir("sub");
    f.writeList("sub/他.xxa", {"他", "/bin/other"});
    Form1& w = f.start();
    const QString chosen = f.cwd.file("sub/他.xxa");
    f.platform.openFileAnswers.push_back(chosen);
    w.sk13_Click();
    QCOMPARE(w.currentListPath(), chosen);
    QCOMPARE(w.command1Tag(), chosen);
    QCOMPARE(f.comboItems(), QStringList({"他"}));
    // The next dialog opens with the chosen path as initial folder and the
    // file's title in its name field.
    w.sk13_Click();
    const OPENFILENAME& second = f.platform.openDialogs[1];
    QCOMPARE(second.lpstrInitialDir.section(QChar(0), 0, 0), chosen);
    QCOMPARE(second.lpstrFile.section(QChar(0), 0, 0), QString("他.xxa"));
}

void CommandsTest::quickFileSwitchesList() {
    LauncherFixture f;
    f.writeList("l.xxa", ThreeEntries);
    f.writeList("q.xxa", {"速", "/bin/q"});
    f.writeSettings("l.xxa", {"", "q.xxa"});
    Form1& w = f.start();
    w.quickFile_Click(2);
    QCOMPARE(f.comboItems(), QStringList({"速"}));
    QCOMPARE(w.command1Tag(), QString("q.xxa"));
    // An empty quick file follows the empty-path rule.
    w.quickFile_Click(1);
    QCOMPARE(f.comboItems(), QStringList());
    QCOMPARE(w.currentListPath(), QString("Cat.xxa"));
    QCOMPARE(w.command1Tag(), QString("Cat.xxa"));
}

void CommandsTest::cornerMovesTicksAndSaves_data() {
    QTest::addColumn<bool>("systemInstall");
    QTest::newRow("beside the program") << false;
    QTest::newRow("read-only program folder: the user's folder") << true;
}

void CommandsTest::cornerMovesTicksAndSaves() {
    QFETCH(bool, systemInstall);
    LauncherFixture f(systemInstall);
    f.writeSettings("l.xxa", {"q1.xxa", "q2.xxa"}, " 4 ");
    Form1& w = f.start();
    QVERIFY(w.menus().corners[3]->isChecked());
    w.menus().corners[1]->trigger();
    QCOMPARE(f.platform.lastMoveTwips,
             QPoint(f.platform.screen.x(), f.platform.screen.y() + f.platform.screen.height() -
                                               f.platform.outerSizeTwips(&w).height()));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(w.menus().corners[i]->isChecked(), i == 1);
    QStringList lines;
    for (int i = 0; i < 4; ++i)
        lines << "l.xxa" << QStringList({"q1.xxa", "q2.xxa", "", ""})[i] << " 2 ";
    QCOMPARE(f.settingsBytes(), listBytes(lines));
    // The same corner again still rewrites the file; the user's folder is
    // made at the first write.
    QFile::remove(f.settingsFile());
    if (systemInstall)
        QDir(f.platform.userFolder).removeRecursively();
    w.menus().corners[1]->trigger();
    QCOMPARE(f.settingsBytes(), listBytes(lines));
    QVERIFY(f.platform.messages.isEmpty());

    // What the options dialog saved meanwhile survives a corner change.
    f.writeSettings("新.xxa", {"n1.xxa"}, " 2 ");
    w.corner_Click(3);
    lines.clear();
    for (int i = 0; i < 4; ++i)
        lines << "新.xxa" << QStringList({"n1.xxa", "", "", ""})[i] << " 3 ";
    QCOMPARE(f.settingsBytes(), listBytes(lines));
    QCOMPARE(w.settings().startupListPath, QString("l.xxa"));
}

void CommandsTest::cornerSaveFailureIsReportedAfterMove() {
    LauncherFixture f;
    f.writeSettings("l.xxa", {}, " 4 ");
    const QByteArray before = f.settingsBytes();
    Form1& w = f.start();
    setWriteFaultForTesting(WriteFault::InMiddle);
    w.corner_Click(1);
    setWriteFaultForTesting(WriteFault::None);
    QCOMPARE(f.platform.lastMoveTwips, f.platform.screen.topLeft());
    QVERIFY(w.menus().corners[0]->isChecked());
    QCOMPARE(f.platform.messageTexts(), QStringList({"書き込みエラー"}));
    QCOMPARE(f.settingsBytes(), before);
}

void CommandsTest::quitEndsWithoutSaving() {
    LauncherFixture f;
    Form1& w = f.start();
    w.sk4_Click();
    QVERIFY(f.platform.ended);
    QVERIFY(f.platform.trayCalls.isEmpty());
    QVERIFY(!QFile::exists(f.settingsFile()));
}

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
