// The launcher as its user drives it: start-up and placement, every menu
// item, the mouse and the keys on the window, running a shortcut, the tray.
// Each case compares one line of what the user sees (LauncherFixture::seen).
#include "LauncherFixture.h"
#include "QtTexts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMoveEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {
const QStringList Three{"一", "/bin/one", "二", "/bin/two", "三", "/bin/three"};

// l.xxa at start-up; quick files q1..q3 hold Q1..Q3 and q4 is damaged; the
// window manager adds a frame that is not square.
Form1& startWithLists(LauncherFixture& f, const QByteArray& startList = listBytes(Three)) {
    writeBytes(f.cwd.file("l.xxa"), startList);
    for (int i = 1; i <= 3; ++i)
        f.writeList(QString("q%1.xxa").arg(i), {QString("Q%1").arg(i), "/bin/q"});
    f.writeList("q4.xxa", {"x", "9", "dangling"});
    f.writeSettings("l.xxa", {"q1.xxa", "q2.xxa", "q3.xxa", "q4.xxa"});
    f.platform.frameExtraTwips = {120, 450};
    return f.start();
}
} // namespace

class LauncherTest : public QObject {
    Q_OBJECT
  private slots:
    void startUp_data();
    void startUp();
    void menuItems_data();
    void menuItems();
    void mouseAndKeys_data();
    void mouseAndKeys();
    void run_data();
    void run();
    void openListFile_data();
    void openListFile();
    void trayNotifications_data();
    void trayNotifications();
    void keepsRunningWhenTheTrayMenuCloses();
    void runButtonShowsWhenFocused();
    void qtTextsAreJapanese();
};

void LauncherTest::startUp_data() {
    QTest::addColumn<QStringList>("settings"); // start list, corner, quick files; none: no file
    QTest::addColumn<bool>("framedLater");
    QTest::addColumn<QString>("quickItems");
    QTest::addColumn<QString>("afterClose"); // a close request reloads the list
    const QString l = "l.xxa";
    QTest::newRow("top-left, quick 1 and 3")
        << QStringList{l, " 1 ", "a.xxa", "", "c.xxa"} << false << "sk15=a.xxa sk17=c.xxa"
        << "hidden tray+ TL sk9";
    QTest::newRow("bottom-left, no spaces, quick 2")
        << QStringList{l, "2", "", "b.xxa"} << false << "sk15= sk16=b.xxa"
        << "hidden tray+ BL sk10";
    QTest::newRow("top-right") << QStringList{l, " 3 "} << false << ""
                               << "hidden tray+ TR sk11";
    QTest::newRow("bottom-right, framed after placing") << QStringList{l, " 4 "} << true << ""
                                                        << "hidden tray+ BR sk12";
    QTest::newRow("corner 0") << QStringList{l, " 0 "} << false << ""
                              << "hidden tray+";
    QTest::newRow("corner x") << QStringList{l, "x"} << false << ""
                              << "hidden tray+";
    QTest::newRow("no settings: Cat.xxa at the next load") << QStringList() << false << ""
                                                           << "猫 hidden tray+";
}

void LauncherTest::startUp() {
    QFETCH(QStringList, settings);
    QFETCH(bool, framedLater);
    QFETCH(QString, quickItems);
    QFETCH(QString, afterClose);
    LauncherFixture f;
    f.writeList("l.xxa", Three);
    f.writeList("Cat.xxa", {"猫", "/bin/cat"});
    if (!settings.isEmpty())
        f.writeSettings(settings[0], settings.mid(2), settings[1]);
    f.platform.frameExtraTwips = framedLater ? QSize(0, 0) : QSize(120, 450);
    Form1& w = f.start();
    QCOMPARE(find<QComboBox>(w, "Combo1")->currentText(), QString());
    if (framedLater) {
        // The window manager frames the window after it was placed; a drag by
        // the user keeps the size and is left alone.
        f.platform.frameExtraTwips = {120, 450};
        QMoveEvent framed(w.pos(), w.pos());
        QCoreApplication::sendEvent(&w, &framed);
        QCOMPARE(f.platform.lastMoved, &w);
        f.platform.lastMoved = nullptr;
        QCoreApplication::sendEvent(&w, &framed);
        QCOMPARE(f.platform.lastMoved, nullptr);
        f.platform.lastMoved = &w;
    }
    QStringList quick;
    for (const char* item : {"sk15", "sk16", "sk17", "sk18"})
        if (find<QAction>(w, "sk14")->isVisible() && find<QAction>(w, item)->isVisible())
            quick << item + ("=" + find<QAction>(w, item)->text());
    QCOMPARE(quick.join(' '), quickItems);
    QVERIFY(w.isVisible());
    w.close();
    QCOMPARE(f.seen(), afterClose);
}

void LauncherTest::menuItems_data() {
    QTest::addColumn<QString>("steps"); // menu items, or: close, show, grow, notray
    QTest::addColumn<QString>("seen");
    QTest::newRow("new") << "new"
                         << "既存 asked";
    QTest::newRow("sk13") << "sk13"
                          << "開 browsed";
    QTest::newRow("sk7") << "sk7"
                         << "Form3";
    QTest::newRow("sk2") << "sk2"
                         << "Form2[一,二,三]";
    QTest::newRow("sk9") << "sk9"
                         << "TL sk9 saved 1";
    QTest::newRow("sk10") << "sk10"
                          << "BL sk10 saved 2";
    QTest::newRow("sk11") << "sk11"
                          << "TR sk11 saved 3";
    QTest::newRow("sk12") << "sk12"
                          << "BR sk12 saved 4";
    QTest::newRow("sk9 then sk12") << "sk9 sk12"
                                   << "BR sk12 saved 4";
    QTest::newRow("sk15") << "sk15"
                          << "Q1";
    QTest::newRow("sk16") << "sk16"
                          << "Q2";
    QTest::newRow("sk17") << "sk17"
                          << "Q3";
    // A list that fails to load leaves the dialogs on the list last shown.
    QTest::newRow("sk18, damaged") << "sk18 sk2"
                                   << "() Form2[一,二,三]";
    QTest::newRow("hyouzi") << "hyouzi"
                            << "hidden tray+";
    QTest::newRow("hyouzi without a tray") << "notray hyouzi"
                                           << "minimised tray+";
    QTest::newRow("sk4") << "sk4"
                         << "ended";
    QTest::newRow("sk4, shown with icon") << "close show sk4"
                                          << "tray+- ended";
    QTest::newRow("Modosu") << "hyouzi Modosu"
                            << "tray+-";
    QTest::newRow("Toziru") << "Toziru"
                            << "tray- ended";
    QTest::newRow("close request") << "grow close"
                                   << "一,二,三,四 hidden tray+";
}

void LauncherTest::menuItems() {
    QFETCH(QString, steps);
    QFETCH(QString, seen);
    LauncherFixture f;
    f.writeList("有る.xxa", {"既存", "/bin/x"});
    f.writeList("開.xxa", {"開", "/bin/o"});
    f.platform.inputAnswers.push_back("有る");
    f.platform.openFileAnswers.push_back(f.cwd.file("開.xxa"));
    startWithLists(f);
    const QByteArray settings = f.settingsBytes();
    for (const QString& step : steps.split(' ')) {
        if (step == "grow")
            f.writeList("l.xxa", Three + QStringList{"四", "/bin/four"});
        else if (step == "notray")
            f.platform.trayAddSucceeds = false;
        else if (step == "close")
            f.launcher->close();
        else if (step == "show") // as a closing dialog does
            f.launcher->show();
        else
            f.trigger(qPrintable(step));
    }
    QString got = f.seen();
    if (f.settingsBytes() != settings)
        got += " saved " + QString(f.settingsBytes()).split("\r\n").value(2).trimmed();
    QCOMPARE(got, seen);
}

void LauncherTest::mouseAndKeys_data() {
    QTest::addColumn<QString>("target"); // edit, button or window
    QTest::addColumn<QString>("input");  // a mouse button released, a key, or "request"
    QTest::addColumn<QString>("seen");
    QTest::newRow("right on the button") << "button"
                                         << "right"
                                         << "op1/0";
    QTest::newRow("right on the window") << "window"
                                         << "right"
                                         << "op1/0";
    QTest::newRow("left on the button") << "button"
                                        << "left"
                                        << "";
    QTest::newRow("middle on the button") << "button"
                                          << "middle"
                                          << "";
    QTest::newRow("left on the window") << "window"
                                        << "left"
                                        << "";
    QTest::newRow("Shift+F10 in the edit field") << "edit"
                                                 << "Shift+F10"
                                                 << "op1/0@focus";
    QTest::newRow("Menu key on the button") << "button"
                                            << "Menu"
                                            << "op1/0@focus";
    QTest::newRow("Shift+F10 on the window") << "window"
                                             << "Shift+F10"
                                             << "op1/0@focus";
    QTest::newRow("F10 alone") << "edit"
                               << "F10"
                               << "";
    // Typing 三 in the edit field picked nothing: 二 runs.
    QTest::newRow("Return on the button") << "button"
                                          << "Return"
                                          << "ran /bin/two";
    QTest::newRow("keypad Enter on the button") << "button"
                                                << "Num+Enter"
                                                << "ran /bin/two";
    QTest::newRow("Return in the edit field") << "edit"
                                              << "Return"
                                              << "";
    // The Menu key on X comes with a context menu request; only the key counts.
    QTest::newRow("the request alone") << "edit"
                                       << "request"
                                       << "";
    QTest::newRow("Delete in the edit field") << "edit"
                                              << "Delete"
                                              << "hidden tray+";
    QTest::newRow("Delete on the button") << "button"
                                          << "Delete"
                                          << "hidden tray+";
    QTest::newRow("Delete on the window") << "window"
                                          << "Delete"
                                          << "hidden tray+";
}

void LauncherTest::mouseAndKeys() {
    QFETCH(QString, target);
    QFETCH(QString, input);
    QFETCH(QString, seen);
    LauncherFixture f;
    Form1& w = startWithLists(f);
    QApplication::setActiveWindow(&w);
    choose(w, "Combo1", 1);
    find<QComboBox>(w, "Combo1")->setEditText("三");
    QWidget* on = target == "window" ? static_cast<QWidget*>(&w)
                  : target == "edit" ? find<QWidget>(w, "Combo1")
                                     : find<QWidget>(w, "Command1");
    on->setFocus();
    const QMap<QString, Qt::MouseButton> mouse{
        {"left", Qt::LeftButton}, {"middle", Qt::MiddleButton}, {"right", Qt::RightButton}};
    bool qtMenuShown = false;
    if (mouse.contains(input)) {
        QTest::mouseRelease(on, mouse[input]);
    } else if (input == "request") {
        QTimer::singleShot(50, [&] {
            if (QWidget* menu = QApplication::activePopupWidget())
                qtMenuShown = menu->close();
        });
        QContextMenuEvent request(QContextMenuEvent::Keyboard, {2, 2},
                                  on->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(on, &request);
        QTest::qWait(100);
    } else {
        const QKeyCombination key = QKeySequence(input)[0];
        QTest::keyClick(on, key.key(), key.keyboardModifiers());
    }
    QVERIFY(!qtMenuShown);
    QCOMPARE(f.seen(), seen);
}

void LauncherTest::run_data() {
    QTest::addColumn<QByteArray>("startList");
    QTest::addColumn<int>("pick");           // -1: none
    QTest::addColumn<QStringList>("reload"); // then quick file 1 holds this, and 実行 again
    QTest::addColumn<int>("shellResult");
    QTest::addColumn<QString>("seen");
    const QByteArray three = listBytes(Three);
    const QString no = "そこは違います";
    QTest::newRow("nothing picked") << three << -1 << QStringList() << 42 << no;
    QTest::newRow("third") << three << 2 << QStringList() << 42 << "ran /bin/three";
    QTest::newRow("shell cannot open it")
        << three << 0 << QStringList() << 2 << "ran /bin/one ファイルが存在しません";
    // 0x81 0x20: a lead byte of code page 932 without its second byte.
    QTest::newRow("undecodable target") << cp932("壊れ") + "\r\n/h/\x81\x20m\r\n"
                                        << 0 << QStringList() << 42 << "壊れ ran bytes";
    QTest::newRow("reloaded, same entry")
        << three << 1 << Three << 42 << "ran /bin/two ran /bin/two";
    QTest::newRow("reloaded, entry before it gone")
        << three << 1 << Three.mid(2) << 42 << "二,三 ran /bin/two " + no;
    QTest::newRow("reloaded, its target changed")
        << three << 1 << QStringList{"一", "/bin/one", "二", "/bin/2"} << 42
        << "一,二 ran /bin/two " + no;
    QTest::newRow("reloaded, too short")
        << three << 1 << Three.first(2) << 42 << "一 ran /bin/two " + no;
}

void LauncherTest::run() {
    QFETCH(QByteArray, startList);
    QFETCH(int, pick);
    QFETCH(QStringList, reload);
    QFETCH(int, shellResult);
    QFETCH(QString, seen);
    LauncherFixture f;
    Form1& w = startWithLists(f, startList);
    f.platform.shellResult = shellResult;
    if (pick >= 0)
        choose(w, "Combo1", pick);
    click(w, "Command1");
    if (!reload.isEmpty()) {
        f.writeList("q1.xxa", reload);
        f.trigger("sk15");
        click(w, "Command1");
    }
    QCOMPARE(f.seen(), seen);
}

void LauncherTest::openListFile_data() {
    QTest::addColumn<QString>("answer"); // "": cancelled
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QString>("seen");
    // The path must fit the record's buffer of 511 bytes and a NUL; 表 takes two.
    const QString folder = "/" + QString(252, QChar(u'表')) + "/";
    QTest::newRow("chosen") << "開.xxa" << true << "開 browsed";
    QTest::newRow("cancelled") << "" << false << "browsed";
    QTest::newRow("511 bytes") << folder + "a.xxa" << true << "() browsed";
    QTest::newRow("512 bytes") << folder + "ab.xxa" << false << "browsed";
    QTest::newRow("not in code page 932") << "/x/\U0001F600.xxa" << false << "browsed";
}

void LauncherTest::openListFile() {
    QFETCH(QString, answer);
    QFETCH(bool, taken);
    QFETCH(QString, seen);
    LauncherFixture f;
    f.writeList("開.xxa", {"開", "/bin/o"});
    if (!answer.isEmpty())
        f.platform.openFileAnswers.push_back(QDir(f.cwd.path()).absoluteFilePath(answer));
    Form1& w = startWithLists(f);
    f.trigger("sk13");
    QCOMPARE(f.seen(), seen);
    f.trigger("sk13"); // the record remembers the list last opened
    const OPENFILENAME& first = f.platform.openDialogs[0];
    QCOMPARE(first.lpstrTitle, QString("ファイルを開く"));
    QCOMPARE(first.lpstrFilter.section(QChar(0), 1, 1), QString("*.xxa"));
    QCOMPARE(first.hwndOwner, HWND(w.winId()));
    QCOMPARE(f.platform.openDialogs[1].lpstrInitialDir.section(QChar(0), 0, 0),
             taken ? QDir(f.cwd.path()).absoluteFilePath(answer) : QString());
}

void LauncherTest::trayNotifications_data() {
    QTest::addColumn<uint>("message");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("seen");
    QTest::newRow("pointer over the icon") << 512u << 512 << "hidden tray+";
    QTest::newRow("left button down") << 512u << 513 << "hidden tray+";
    QTest::newRow("single click: left button up") << 512u << 514 << "hidden tray+";
    QTest::newRow("right button down") << 512u << 516 << "hidden tray+";
    QTest::newRow("right button up") << 512u << 517 << "hidden tray+ tasukumenu/2";
    QTest::newRow("double click") << 512u << 515 << "tray+-";
    QTest::newRow("another message number") << 513u << 517 << "hidden tray+";
}

void LauncherTest::trayNotifications() {
    QFETCH(uint, message);
    QFETCH(int, code);
    QFETCH(QString, seen);
    LauncherFixture f;
    Form1& w = startWithLists(f);
    f.trigger("hyouzi");
    const NOTIFYICONDATA& icon = f.platform.trayCalls[0].data;
    QCOMPARE(QByteArray(icon.szTip), QByteArray("Tovlan"));
    QCOMPARE(icon.hWnd, w.winId());
    QCOMPARE(f.platform.trayMenu, find<QMenu>(w, "tasukumenu"));
    f.tray(code, message);
    QCOMPARE(f.seen(), seen);
}

// The tray menu is a window of its own; its closing while the launcher is
// in the tray must not end the program.
void LauncherTest::keepsRunningWhenTheTrayMenuCloses() {
    LauncherFixture f;
    startWithLists(f);
    QTimer::singleShot(0, [&] {
        f.trigger("hyouzi");
        f.tray(517);
        f.platform.popups.value(0)->popup({});
        f.platform.popups.value(0)->close();
    });
    QTimer::singleShot(200, [] { QCoreApplication::exit(7); });
    QCOMPARE(QCoreApplication::exec(), 7);
}

// The button's picture fills it, so the focus needs a mark of its own.
void LauncherTest::runButtonShowsWhenFocused() {
    LauncherFixture f;
    Form1& w = f.start();
    QApplication::setActiveWindow(&w);
    find<QWidget>(w, "Combo1")->setFocus();
    auto* run = find<QPushButton>(w, "Command1");
    const QImage unfocused = run->grab().toImage();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), run);
    QVERIFY(run->grab().toImage() != unfocused);
}

// Qt's own dialogs and menus speak Japanese too, whatever the locale.
void LauncherTest::qtTextsAreJapanese() {
    QVERIFY(installJapaneseQtTexts());
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    QLineEdit edit;
    QStringList texts;
    for (const QPushButton* button : files.findChildren<QPushButton*>())
        texts << button->text();
    for (const QAction* action : edit.createStandardContextMenu()->actions())
        texts << action->text();
    QVERIFY(texts.contains("キャンセル"));
    for (const QString& text : texts)
        QVERIFY2(!text.startsWith("&Undo") && !text.startsWith("Cancel"), qPrintable(text));
}

QTEST_MAIN(LauncherTest)
#include "tst_launcher.moc"
