// Tray mode: entering it from the menu, the Delete key and close requests,
// the icon's notifications, and the ways back and out.
#include "LauncherFixture.h"
#include "TrayCallbackEvent.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TrayTest : public QObject {
    Q_OBJECT
  private slots:
    void enteringFillsRecordHidesAndAddsIcon();
    void deleteKeyEntersTrayOncePerPress_data();
    void deleteKeyEntersTrayOncePerPress();
    void closeRequestReloadsList();
    void iconNotifications();
    void stateTable();
    void noTrayMinimisesInstead();
    void quitFromEitherMenuLeavesNoIcon();
};

namespace {
int addCalls(const FakePlatform& p) {
    return int(std::count_if(p.trayCalls.begin(), p.trayCalls.end(),
                             [](const auto& c) { return c.message == NIM_ADD; }));
}

void sendTrayCode(Form1& w, qintptr code) {
    TrayCallbackEvent event(w.trayRecord().uCallbackMessage, code);
    QCoreApplication::sendEvent(&w, &event);
}
} // namespace

void TrayTest::enteringFillsRecordHidesAndAddsIcon() {
    LauncherFixture f;
    Form1& w = f.start();
    w.hyouzi_Click();
    QVERIFY(!w.isVisible());
    QVERIFY(f.platform.trayIconPresent);
    const NOTIFYICONDATA& r = f.platform.trayCalls.last().data;
    QCOMPARE(r.cbSize, 88u);
    QCOMPARE(r.hWnd, w.winId());
    QCOMPARE(r.uID, 1u);
    QCOMPARE(r.uFlags, 7u);
    QCOMPARE(r.uCallbackMessage, 512u);
    QCOMPARE(QByteArray(r.szTip), QByteArray("Tovlan"));
    QVERIFY(!r.hIcon.isNull());
    // Hosts that draw the icon's menu themselves get the tray menu.
    QCOMPARE(f.platform.trayMenu, w.menus().tasukumenu);
}

void TrayTest::deleteKeyEntersTrayOncePerPress_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("combo edit field") << "edit";
    QTest::newRow("run button") << "button";
    QTest::newRow("window") << "window";
}

void TrayTest::deleteKeyEntersTrayOncePerPress() {
    QFETCH(QString, target);
    LauncherFixture f;
    Form1& w = f.start();
    QApplication::setActiveWindow(&w);
    QWidget* receiver = &w;
    if (target == "edit")
        receiver = w.combo();
    else if (target == "button")
        receiver = w.runButton();
    receiver->setFocus();
    QWidget* keyTarget = target == "edit" ? w.combo()->lineEdit() : receiver;
    if (target == "edit")
        w.combo()->setEditText("abc");
    if (target == "edit")
        w.combo()->lineEdit()->setCursorPosition(0);
    QTest::keyClick(keyTarget, Qt::Key_Delete);
    QVERIFY(!w.isVisible());
    QCOMPARE(addCalls(f.platform), 1);
    if (target == "edit") // the key is not swallowed
        QCOMPARE(w.combo()->currentText(), QString("bc"));
    QTest::keyClick(keyTarget, Qt::Key_A);
    QCOMPARE(addCalls(f.platform), 1);
}

void TrayTest::closeRequestReloadsList() {
    LauncherFixture f;
    f.writeList("l.xxa", {"古い", "/bin/old"});
    f.writeSettings("l.xxa");
    Form1& w = f.start();
    f.writeList("l.xxa", {"古い", "/bin/old", "新しい", "/bin/new"});
    QVERIFY(!w.close());
    QVERIFY(!w.isVisible());
    QVERIFY(f.platform.trayIconPresent);
    QCOMPARE(f.comboItems(), QStringList({"古い", "新しい"}));
    QVERIFY(!f.platform.ended);
}

void TrayTest::iconNotifications() {
    LauncherFixture f;
    Form1& w = f.start();
    w.hyouzi_Click();
    sendTrayCode(w, 512); // plain movement, a single click, anything else
    sendTrayCode(w, 0x202);
    QVERIFY(f.platform.popups.isEmpty());
    QVERIFY(!w.isVisible());
    sendTrayCode(w, 517);
    QCOMPARE(f.platform.popups, QList<QMenu*>({w.menus().tasukumenu}));
    QCOMPARE(f.platform.popupFlags, QList<int>({2}));
    QVERIFY(!w.isVisible());
    sendTrayCode(w, 515);
    QVERIFY(w.isVisible());
    QVERIFY(!f.platform.trayIconPresent);
    // A notification with another callback number is not the icon's.
    TrayCallbackEvent stray(513, 517);
    QCoreApplication::sendEvent(&w, &stray);
    QCOMPARE(f.platform.popups.size(), 1);
}

void TrayTest::stateTable() {
    LauncherFixture f;
    Form1& w = f.start();
    auto state = [&] { return std::pair(w.isVisible(), f.platform.trayIconPresent); };
    using S = std::pair<bool, bool>;
    const S normal{true, false}, inTray{false, true}, shownWithIcon{true, true};

    w.hyouzi_Click();
    QCOMPARE(state(), inTray);
    w.Modosu_Click();
    QCOMPARE(state(), normal);
    // A dialog's OK: close request, then the dialog shows the launcher.
    w.close();
    w.show();
    QCOMPARE(state(), shownWithIcon);
    w.hyouzi_Click();
    QCOMPARE(state(), inTray);
    QCOMPARE(addCalls(f.platform), 3); // each entry adds again; one icon stays
    w.show();
    w.trayNotification(515);
    QCOMPARE(state(), normal);
    QVERIFY(w.isVisible());
}

void TrayTest::noTrayMinimisesInstead() {
    LauncherFixture f;
    f.platform.trayAddSucceeds = false;
    Form1& w = f.start();
    // Never hidden on the way: a window mapped again iconic right after it
    // was unmapped can come back shown.
    struct HideCounter : QObject {
        int hides = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            hides += e->type() == QEvent::Hide && !e->spontaneous();
            return false;
        }
    } counter;
    w.installEventFilter(&counter);
    w.hyouzi_Click();
    QVERIFY(w.isMinimized());
    QVERIFY(w.isVisible());
    QCOMPARE(counter.hides, 0);
}

void TrayTest::quitFromEitherMenuLeavesNoIcon() {
    for (bool fromTrayMenu : {true, false}) {
        LauncherFixture f;
        Form1& w = f.start();
        w.close();
        w.show(); // shown with icon
        fromTrayMenu ? w.Toziru_Click() : w.sk4_Click();
        QVERIFY(f.platform.ended);
        QVERIFY(!f.platform.trayIconPresent);
        QCOMPARE(f.platform.trayCalls.last().message, NIM_DELETE);
    }
}

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
