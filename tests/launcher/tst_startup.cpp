// Start-up of the launcher: settings, list, quick-file items and corner.
#include "LauncherFixture.h"
#include "QtTexts.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMoveEvent>
#include <QTest>

class StartupTest : public QObject {
    Q_OBJECT
  private slots:
    void showsListInFileOrderWithEmptyEditField();
    void placesWindowInStoredCorner_data();
    void placesWindowInStoredCorner();
    void placesAgainWhenFrameArrives();
    void showsConfiguredQuickFiles_data();
    void showsConfiguredQuickFiles();
    void emptyStartupListFallsBackToCatOnNextLoad();
    void failedLoadKeepsPublishedPath();
    void missingSettingsFileStartsUnplaced();
    void preparesOpenFileRecordAndTopmost();
    void qtTextsAreJapanese();
};

void StartupTest::showsListInFileOrderWithEmptyEditField() {
    LauncherFixture f;
    f.writeList("一覧.xxa", {"メモ帳", "/usr/bin/true", "表計算", "C:\\表\\ソフト.exe", "", ""});
    f.writeSettings("一覧.xxa");
    Form1& w = f.start();
    QCOMPARE(f.comboItems(), QStringList({"メモ帳", "表計算", ""}));
    QCOMPARE(w.combo()->currentText(), QString());
    QCOMPARE(w.command1Tag(), QString("一覧.xxa"));
    // Bytes 0x5C inside ソ and 表 are not path separators.
    QCOMPARE(w.shortcutList().entries[2].path, QString("C:\\表\\ソフト.exe"));
}

void StartupTest::placesWindowInStoredCorner_data() {
    QTest::addColumn<QString>("corner");
    QTest::addColumn<int>("ticked"); // 0: none
    QTest::addColumn<bool>("right");
    QTest::addColumn<bool>("bottom");
    QTest::newRow("top-left") << " 1 " << 1 << false << false;
    QTest::newRow("bottom-left, no spaces") << "2" << 2 << false << true;
    QTest::newRow("top-right") << " 3 " << 3 << true << false;
    QTest::newRow("bottom-right") << " 4 " << 4 << true << true;
    QTest::newRow("zero") << " 0 " << 0 << false << false;
    QTest::newRow("five") << " 5 " << 0 << false << false;
    QTest::newRow("text") << "x" << 0 << false << false;
}

void StartupTest::placesWindowInStoredCorner() {
    QFETCH(QString, corner);
    QFETCH(int, ticked);
    QFETCH(bool, right);
    QFETCH(bool, bottom);
    LauncherFixture f;
    f.platform.frameExtraTwips = {120, 450};
    f.writeSettings("", {}, corner);
    Form1& w = f.start();
    for (int i = 0; i < 4; ++i)
        QCOMPARE(w.menus().corners[i]->isChecked(), i + 1 == ticked);
    if (ticked == 0) {
        QCOMPARE(f.platform.lastMoved, nullptr);
        return;
    }
    // Flush with the primary monitor's edges, which stands right of another.
    const QRect& screen = f.platform.screen;
    const QRect outer(f.platform.lastMoveTwips, f.platform.outerSizeTwips(&w));
    QCOMPARE(right ? outer.x() + outer.width() : outer.x(),
             right ? screen.x() + screen.width() : screen.x());
    QCOMPARE(bottom ? outer.y() + outer.height() : outer.y(),
             bottom ? screen.y() + screen.height() : screen.y());
}

void StartupTest::placesAgainWhenFrameArrives() {
    LauncherFixture f;
    f.writeSettings("", {}, " 4 ");
    Form1& w = f.start();
    // The window manager frames the window after it was placed.
    f.platform.frameExtraTwips = {150, 450};
    QMoveEvent framed(w.pos(), w.pos());
    QCoreApplication::sendEvent(&w, &framed);
    const QSize outer = f.platform.outerSizeTwips(&w);
    QCOMPARE(f.platform.lastMoveTwips, f.platform.screen.bottomRight() + QPoint(1, 1) -
                                           QPoint(outer.width(), outer.height()));
    // A drag by the user keeps the size and is left alone.
    f.platform.lastMoveTwips = {};
    QCoreApplication::sendEvent(&w, &framed);
    QCOMPARE(f.platform.lastMoveTwips, QPoint());
}

void StartupTest::showsConfiguredQuickFiles_data() {
    QTest::addColumn<QStringList>("quickFiles");
    QTest::addColumn<bool>("submenuVisible");
    QTest::addColumn<QList<bool>>("itemsVisible");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("1 and 3") << QStringList{"a.xxa", "", "c.xxa", ""} << true
                             << QList<bool>{true, false, true, false}
                             << QStringList{"a.xxa", "", "c.xxa", ""};
    QTest::newRow("only 2") << QStringList{"", "b.xxa", "", ""} << true
                            << QList<bool>{true, true, false, false}
                            << QStringList{"", "b.xxa", "", ""};
    QTest::newRow("none") << QStringList{"", "", "", ""} << false
                          << QList<bool>{true, false, false, false} << QStringList{"", "", "", ""};
}

void StartupTest::showsConfiguredQuickFiles() {
    QFETCH(QStringList, quickFiles);
    QFETCH(bool, submenuVisible);
    QFETCH(QList<bool>, itemsVisible);
    QFETCH(QStringList, captions);
    LauncherFixture f;
    f.writeSettings("", quickFiles);
    Form1& w = f.start();
    QCOMPARE(w.menus().sk14->menuAction()->isVisible(), submenuVisible);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(w.menus().quickFiles[i]->isVisible(), itemsVisible[i]);
        QCOMPARE(w.menus().quickFiles[i]->text(), captions[i]);
    }
}

void StartupTest::emptyStartupListFallsBackToCatOnNextLoad() {
    LauncherFixture f;
    f.writeList("Cat.xxa", {"猫", "/usr/bin/true"});
    f.writeSettings("");
    Form1& w = f.start();
    QCOMPARE(f.comboItems(), QStringList());
    QCOMPARE(w.currentListPath(), QString("Cat.xxa"));
    QCOMPARE(w.command1Tag(), QString("Cat.xxa"));
    w.close(); // a close request reloads the list
    QCOMPARE(f.comboItems(), QStringList({"猫"}));
}

void StartupTest::failedLoadKeepsPublishedPath() {
    LauncherFixture f;
    f.writeList("good.xxa", {"a", "1", "b", "2", "c", "3"});
    f.writeList("odd.xxa", {"x", "9", "dangling"});
    f.writeSettings("good.xxa", {"odd.xxa"});
    Form1& w = f.start();
    w.quickFile_Click(1);
    QCOMPARE(f.comboItems(), QStringList());
    QCOMPARE(w.currentListPath(), QString("odd.xxa"));
    QCOMPARE(w.command1Tag(), QString("good.xxa"));
    // Slots above the new count keep the earlier list's entries.
    QCOMPARE(w.shortcutList().entries[3].path, QString("3"));
}

void StartupTest::missingSettingsFileStartsUnplaced() {
    LauncherFixture f;
    Form1& w = f.start();
    QVERIFY(w.isVisible());
    QCOMPARE(f.platform.lastMoved, nullptr);
    QCOMPARE(w.currentListPath(), QString("Cat.xxa"));
    QVERIFY(f.platform.messages.isEmpty());
}

void StartupTest::preparesOpenFileRecordAndTopmost() {
    LauncherFixture f;
    Form1& w = f.start();
    QCOMPARE(f.platform.topmostCalls, 1);
    QCOMPARE(w.openFileRecord().lStructSize, 76u);
    QCOMPARE(w.openFileRecord().lpstrFilter,
             QString("ショートカット") + QChar(0) + "*.xxa" + QChar(0) + QChar(0));
    QCOMPARE(w.openFileRecord().lpstrFile, QString(512, QChar(0)));
}

// Qt's own dialogs and menus speak Japanese too, whatever the locale.
void StartupTest::qtTextsAreJapanese() {
    QVERIFY(installJapaneseQtTexts());
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    QInputDialog input;
    QLineEdit edit;
    const QMenu* editMenu = edit.createStandardContextMenu(); // the field's child
    QStringList texts;
    for (const QLabel* label : files.findChildren<QLabel*>())
        texts << label->text();
    for (const QAbstractButton* button : files.findChild<QDialogButtonBox*>()->buttons())
        texts << button->text();
    texts << input.okButtonText() << input.cancelButtonText();
    for (const QAction* action : editMenu->actions())
        texts << action->text();
    for (const char* english : {"Look in:", "File &name:", "Files of type:", "&Open", "Cancel",
                                "&Undo", "&Paste", "Select All"})
        for (const QString& text : texts) // menu items end in their shortcut
            QVERIFY2(!text.startsWith(english), qPrintable(text));
    QVERIFY(texts.contains("キャンセル"));
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
