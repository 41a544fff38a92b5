// The options dialog: registering shortcuts, the settings boxes, browsing,
// and handing the desktop back to the launcher.
#include "Form3.h"
#include "LauncherFixture.h"
#include "SafeWrite.h"
#include "Twips.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

class Form3Test : public QObject {
    Q_OBJECT
  private slots:
    void layout();
    void registersAtTheEnd_data();
    void registersAtTheEnd();
    void refusedRegistrationKeepsFileAndBoxes_data();
    void refusedRegistrationKeepsFileAndBoxes();
    void openingWritesNothing();
    void browseFillsItsBox();
    void okSavesSettingsAndRefreshesLauncher_data();
    void okSavesSettingsAndRefreshesLauncher();
    void closingShowsLauncherWithoutReload();
    void keysPressButtonsAndEscapeCloses_data();
    void keysPressButtonsAndEscapeCloses();
    void droppedItemFillsRegistration_data();
    void droppedItemFillsRegistration();
};

namespace {
const QStringList ThreeEntries{"一", "/bin/one", "二", "/bin/two", "三", "/bin/three"};

QStringList entries(int count) {
    QStringList values;
    for (int i = 1; i <= count; ++i)
        values << QString("名%1").arg(i) << QString("/bin/%1").arg(i);
    return values;
}

Form3& openOptions(Form1& launcher) {
    launcher.sk7_Click();
    return *launcher.optionsDialog();
}

QLineEdit* box(QWidget& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(name);
}

void type(Form3& dialog, const QString& name, const QString& path) {
    box(dialog, "Text1")->setText(name);
    box(dialog, "Text2")->setText(path);
}
} // namespace

void Form3Test::layout() {
    LauncherFixture f;
    Form3& d = openOptions(f.start());
    const qreal dpi = d.logicalDpiX();
    // Inside its frame, by the frame's own top-left.
    QCOMPARE(box(d, "Text7")->pos(), QPoint(twipsToPixels(2160, dpi), twipsToPixels(720, dpi)));
    QCOMPARE(d.focusWidget(), box(d, "Text1"));
    QStringList tabOrder;
    for (QWidget* w = box(d, "Text1"); tabOrder.size() < 17; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            tabOrder << w->objectName();
    QCOMPARE(tabOrder, QStringList({"Text1", "Text2", "Command2", "Command1", "Text3", "Command3",
                                    "Text4", "Command5", "Text5", "Command7", "Text6", "Command8",
                                    "Text7", "Command9", "OK", "Command10", "Text1"}));

    // Each frame's line runs through its title, clear above its controls.
    for (const char* name : {"Frame1", "Frame2", "Frame3"}) {
        auto* frame = d.findChild<QGroupBox*>(name);
        const QImage image = frame->grab().toImage();
        const int x = frame->width() - 8; // right of the title, of every control
        int line = 0;
        while (line < image.height() && image.pixel(x, line) == image.pixel(x, 0))
            ++line;
        QVERIFY2(line < frame->fontMetrics().height(), name);
        for (QWidget* control : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(control->y() > line + 1, qPrintable(control->objectName()));
    }
}

void Form3Test::registersAtTheEnd_data() {
    QTest::addColumn<QStringList>("before");       // empty: no list file yet
    QTest::addColumn<QList<QStringList>>("typed"); // empty pair: boxes untouched
    QTest::addColumn<QStringList>("after");

    QTest::newRow("three plus one") << ThreeEntries << QList<QStringList>{{"四", "/bin/four"}}
                                    << ThreeEntries + QStringList{"四", "/bin/four"};
    QTest::newRow("two in a row") << QStringList{"一", "/bin/one"}
                                  << QList<QStringList>{{"a", "/a"}, {"b", "/b"}}
                                  << QStringList{"一", "/bin/one", "a", "/a", "b", "/b"};
    QTest::newRow("untouched boxes")
        << ThreeEntries << QList<QStringList>{{}} << ThreeEntries + QStringList{"", "C:\\"};
    QTest::newRow("new list") << QStringList() << QList<QStringList>{{"新", "/bin/new"}}
                              << QStringList{"新", "/bin/new"};
    QTest::newRow("line ends pasted")
        << ThreeEntries << QList<QStringList>{{"二行\r\nの名前", "/bin/a\nb\rc"}}
        << ThreeEntries + QStringList{"二行 の名前", "/bin/a b c"};
    QTest::newRow("98 take one more")
        << entries(98) << QList<QStringList>{{"名99", "/bin/99"}} << entries(99);
}

void Form3Test::registersAtTheEnd() {
    QFETCH(QStringList, before);
    QFETCH(QList<QStringList>, typed);
    QFETCH(QStringList, after);
    LauncherFixture f;
    f.writeSettings("l.xxa");
    if (!before.isEmpty())
        f.writeList("l.xxa", before);
    Form1& w = f.start();
    if (before.isEmpty()) { // a list made by "新規作成"
        f.platform.inputAnswers.push_back("l");
        w.new_Click();
    }
    Form3& d = openOptions(w);
    QCOMPARE(f.launcher->command1Tag(), QString("l.xxa"));
    for (const QStringList& entry : typed) {
        if (!entry.isEmpty())
            type(d, entry[0], entry[1]);
        d.Command1_Click();
        QCOMPARE(box(d, "Text1")->text(), QString());
        QCOMPARE(box(d, "Text2")->text(), QString("C:\\"));
    }
    QCOMPARE(readBytes(f.cwd.file("l.xxa")), listBytes(after));
    QCOMPARE(f.platform.messageTexts(), QStringList());
}

void Form3Test::refusedRegistrationKeepsFileAndBoxes_data() {
    QTest::addColumn<QByteArray>("file"); // what the list file holds by then
    QTest::addColumn<bool>("folder");     // the list path turns into a folder
    QTest::addColumn<bool>("writeFails");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");

    const QString noRoom = "これ以上登録できません";
    const QString writeError = "書き込みエラー";
    const QByteArray three = listBytes(ThreeEntries);
    QTest::newRow("99 entries") << listBytes(entries(99)) << false << false << "x" << noRoom;
    QTest::newRow("100 entries") << listBytes(entries(100)) << false << false << "x" << noRoom;
    QTest::newRow("path line missing")
        << listBytes({"一", "/bin/one", "二"}) << false << false << "x" << noRoom;
    QTest::newRow("folder") << QByteArray() << true << false << "x" << writeError;
    QTest::newRow("write fails") << three << false << true << "x" << writeError;
    QTest::newRow("not in code page 932") << three << false << false << "😀" << writeError;
}

void Form3Test::refusedRegistrationKeepsFileAndBoxes() {
    QFETCH(QByteArray, file);
    QFETCH(bool, folder);
    QFETCH(bool, writeFails);
    QFETCH(QString, name);
    QFETCH(QString, message);
    LauncherFixture f;
    f.writeList("l.xxa", ThreeEntries);
    f.writeSettings("l.xxa");
    Form3& d = openOptions(f.start());
    // Changed after the opening, as another window or program would.
    const QString list = f.cwd.file("l.xxa");
    if (folder)
        QVERIFY(QFile::remove(list) && QDir().mkdir(list));
    else
        writeBytes(list, file);
    setWriteFaultForTesting(writeFails ? WriteFault::AtOpen : WriteFault::None);
    type(d, name, "/bin/x");
    d.Command1_Click();
    setWriteFaultForTesting(WriteFault::None);

    QCOMPARE(f.platform.messageTexts(), QStringList{message});
    QCOMPARE(f.platform.messages[0].title, QString("Tovlan"));
    QCOMPARE(readBytes(list), file);
    QCOMPARE(box(d, "Text1")->text(), name);
    QCOMPARE(box(d, "Text2")->text(), QString("/bin/x"));
}

void Form3Test::openingWritesNothing() {
    // No settings file, and a list path that names a folder.
    LauncherFixture f;
    f.writeList("l.xxa", ThreeEntries);
    QDir().mkdir(f.cwd.file("dir.xxa"));
    f.platform.inputAnswers.push_back("dir");
    Form1& w = f.start();
    w.new_Click();
    QCOMPARE(w.command1Tag(), QString("dir.xxa"));
    openOptions(w);
    QCOMPARE(QDir(f.cwd.path()).entryList(QDir::Files), QStringList{"l.xxa"});
    QVERIFY(f.platform.messages.isEmpty());

    // A launcher that has published no list path yet.
    LauncherFixture g;
    Form1 early(g.platform);
    Form3& d = openOptions(early);
    d.Command1_Click();
    QCOMPARE(g.platform.messageTexts(), QStringList{"書き込みエラー"});
    QCOMPARE(QDir(g.cwd.path()).entryList(QDir::Files), QStringList());
}

void Form3Test::browseFillsItsBox() {
    LauncherFixture f;
    Form3& d = openOptions(f.start());
    const QStringList buttonsAndBoxes{"Command2", "Text2", "Command3", "Text3",
                                      "Command5", "Text4", "Command7", "Text5",
                                      "Command8", "Text6", "Command9", "Text7"};
    for (qsizetype i = 0; i < buttonsAndBoxes.size(); i += 2) {
        auto* button = d.findChild<QPushButton*>(buttonsAndBoxes[i]);
        f.platform.openFileAnswers.push_back("/home/u/選んだ" + button->objectName());
        button->click();
        QCOMPARE(box(d, qPrintable(buttonsAndBoxes[i + 1]))->text(),
                 "/home/u/選んだ" + button->objectName());
        button->click(); // cancelled
        QCOMPARE(box(d, qPrintable(buttonsAndBoxes[i + 1]))->text(), QString());
        // Each press starts from a fresh record, not from the previous choice.
        const OPENFILENAME& record = f.platform.openDialogs.last();
        QCOMPARE(record.lpstrFilter.section(QChar(0), 1, 1), QString(i == 0 ? "*.exe" : "*.xxa"));
        QCOMPARE(record.lpstrInitialDir, QString());
        QCOMPARE(record.hwndOwner, HWND(d.winId()));
    }
}

void Form3Test::okSavesSettingsAndRefreshesLauncher_data() {
    QTest::addColumn<int>("launcherCornerMeanwhile"); // 0: none
    QTest::addColumn<bool>("writeFails");
    QTest::addColumn<QString>("corner");
    QTest::addColumn<bool>("systemInstall"); // settings in the user's folder
    QTest::newRow("corner as read") << 0 << false << "4" << false;
    QTest::newRow("corner the launcher saved since") << 2 << false << " 2 " << false;
    QTest::newRow("write fails") << 0 << true << "4" << false;
    QTest::newRow("read-only program folder") << 2 << false << " 2 " << true;
}

void Form3Test::okSavesSettingsAndRefreshesLauncher() {
    QFETCH(int, launcherCornerMeanwhile);
    QFETCH(bool, writeFails);
    QFETCH(QString, corner);
    QFETCH(bool, systemInstall);
    LauncherFixture f(systemInstall);
    f.writeList("l.xxa", ThreeEntries);
    f.writeSettings("l.xxa", {"q1.xxa", "", "", "q4.xxa"}, "4");
    Form1& w = f.start();
    Form3& d = openOptions(w);
    QCOMPARE(box(d, "Text3")->text(), QString("l.xxa"));
    QCOMPARE(box(d, "Text4")->text(), QString("q1.xxa"));
    QCOMPARE(box(d, "Text7")->text(), QString("q4.xxa"));
    if (launcherCornerMeanwhile)
        w.corner_Click(launcherCornerMeanwhile);
    type(d, "四", "/bin/four");
    d.Command1_Click();
    box(d, "Text3")->setText("new.xxa");
    box(d, "Text7")->clear();
    setWriteFaultForTesting(writeFails ? WriteFault::AtOpen : WriteFault::None);
    d.findChild<QPushButton*>("OK")->click();
    setWriteFaultForTesting(WriteFault::None);

    // A failed write leaves the file as it was, and the launcher still reloads.
    const QString startup = writeFails ? "l.xxa" : "new.xxa";
    const QString quick4 = writeFails ? "q4.xxa" : "";
    QCOMPARE(f.settingsBytes(), listBytes({startup, "q1.xxa", corner, startup, "", corner, startup,
                                           "", corner, startup, quick4, corner}));
    QCOMPARE(f.platform.messageTexts(), writeFails ? QStringList{"書き込みエラー"} : QStringList());
    QCOMPARE(f.comboItems(), QStringList({"一", "二", "三", "四"}));
    QVERIFY(w.isVisible() && f.platform.trayIconPresent);
    QTRY_VERIFY(!w.optionsDialog());
}

void Form3Test::closingShowsLauncherWithoutReload() {
    LauncherFixture f;
    f.writeList("l.xxa", ThreeEntries);
    f.writeSettings("l.xxa");
    Form1& w = f.start();
    Form3& d = openOptions(w);
    w.hyouzi_Click();
    d.Command1_Click();
    d.findChild<QPushButton*>("Command10")->click();
    QVERIFY(w.isVisible());
    QCOMPARE(f.comboItems(), QStringList({"一", "二", "三"}));
    QCOMPARE(readBytes(f.cwd.file("l.xxa")), listBytes(ThreeEntries + QStringList{"", "C:\\"}));
    QTRY_VERIFY(!w.optionsDialog());
}

void Form3Test::keysPressButtonsAndEscapeCloses_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("effect"); // "registered", "browsed", "closed" or ""
    QTest::newRow("Return on 登録") << "Command1" << int(Qt::Key_Return) << "registered";
    QTest::newRow("keypad Enter on .") << "Command2" << int(Qt::Key_Enter) << "browsed";
    QTest::newRow("Return on OK") << "OK" << int(Qt::Key_Return) << "closed";
    QTest::newRow("Return on Close") << "Command10" << int(Qt::Key_Return) << "closed";
    QTest::newRow("Escape") << "Text1" << int(Qt::Key_Escape) << "closed";
    QTest::newRow("Return in a box") << "Text1" << int(Qt::Key_Return) << "";
}

void Form3Test::keysPressButtonsAndEscapeCloses() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(QString, effect);
    LauncherFixture f;
    f.writeList("l.xxa", ThreeEntries);
    f.writeSettings("l.xxa");
    Form1& w = f.start();
    Form3& d = openOptions(w);
    w.hide();
    type(d, "四", "/bin/four");
    QApplication::setActiveWindow(&d);
    auto* widget = d.findChild<QWidget*>(focus);
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key(key));

    const QStringList registered = ThreeEntries + QStringList{"四", "/bin/four"};
    QCOMPARE(readBytes(f.cwd.file("l.xxa")),
             listBytes(effect == "registered" ? registered : ThreeEntries));
    QCOMPARE(f.platform.openDialogs.size(), effect == "browsed" ? 1 : 0);
    if (effect == "closed") {
        QVERIFY(w.isVisible());
        QTRY_VERIFY(!w.optionsDialog());
    } else {
        QVERIFY(d.isVisible());
    }
}

void Form3Test::droppedItemFillsRegistration_data() {
    QTest::addColumn<QStringList>("urls"); // "{dir}" is the current folder; none: text only
    QTest::addColumn<bool>("dialogOpen");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    const QString dir = "file://{dir}/";
    QTest::newRow("file") << QStringList{dir + "報告書.pdf"} << false << "報告書.pdf"
                          << "{dir}/報告書.pdf";
    QTest::newRow("folder") << QStringList{dir + "資料/"} << false << "資料"
                            << "{dir}/資料";
    QTest::newRow("desktop entry in Japanese")
        << QStringList{dir + "app.desktop"} << false << "エディタ"
        << "{dir}/app.desktop";
    QTest::newRow("desktop entry, plain name")
        << QStringList{dir + "plain.desktop"} << false << "My Tool"
        << "{dir}/plain.desktop";
    QTest::newRow("desktop entry without a name")
        << QStringList{dir + "none.desktop"} << false << "none.desktop"
        << "{dir}/none.desktop";
    QTest::newRow("web page") << QStringList{"https://example.com/docs/a%20b.html"} << false
                              << "a b.html"
                              << "https://example.com/docs/a%20b.html";
    QTest::newRow("web site") << QStringList{"https://www.debian.org/"} << false << "www.debian.org"
                              << "https://www.debian.org/";
    QTest::newRow("several: the first")
        << QStringList{dir + "資料/", dir + "報告書.pdf"} << false << "資料"
        << "{dir}/資料";
    QTest::newRow("into the open dialog") << QStringList{dir + "報告書.pdf"} << true << "報告書.pdf"
                                          << "{dir}/報告書.pdf";
    QTest::newRow("text, not a link") << QStringList() << false << ""
                                      << "";
}

void Form3Test::droppedItemFillsRegistration() {
    QFETCH(QStringList, urls);
    QFETCH(bool, dialogOpen);
    QFETCH(QString, name);
    QFETCH(QString, path);
    LauncherFixture f;
    f.writeList("l.xxa", ThreeEntries);
    f.writeSettings("l.xxa");
    writeBytes(f.cwd.file("報告書.pdf"), "%PDF");
    QDir(f.cwd.path()).mkdir("資料");
    writeBytes(f.cwd.file("app.desktop"), "[Desktop Entry]\nName=Editor\nName[ja]=エディタ\n"
                                          "[Desktop Action new]\nName[ja]=新しい窓\n");
    writeBytes(f.cwd.file("plain.desktop"), "# x\r\n[Desktop Entry]\r\nName = My\\sTool\r\n");
    writeBytes(f.cwd.file("none.desktop"), "[Desktop Entry]\nExec=true\n");
    Form1& w = f.start();
    Form3* open = dialogOpen ? &openOptions(w) : nullptr;
    if (open)
        type(*open, "打ちかけ", "/bin/typed");

    QMimeData mime;
    QList<QUrl> links;
    for (const QString& url : urls)
        links << QUrl(QString(url).replace("{dir}", f.cwd.path()));
    links.isEmpty() ? mime.setText("/bin/true") : mime.setUrls(links);
    // Dragged with Shift, which asks for a move: taken as a link, the file
    // manager leaves the original where it is.
    const auto actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(QPoint(5, 5), actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(&w, &enter);
    QCOMPARE(enter.isAccepted(), !links.isEmpty());
    if (links.isEmpty())
        return;
    QCOMPARE(enter.dropAction(), Qt::LinkAction);
    QDropEvent drop(QPointF(5, 5), actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(&w, &drop);
    QCOMPARE(drop.dropAction(), Qt::LinkAction);

    Form3* d = w.optionsDialog();
    QVERIFY(d && d->isVisible());
    if (open)
        QCOMPARE(d, open);
    path.replace("{dir}", f.cwd.path());
    QCOMPARE(box(*d, "Text1")->text(), name);
    QCOMPARE(box(*d, "Text2")->text(), path);
    // Nothing is written until the user registers it.
    QCOMPARE(readBytes(f.cwd.file("l.xxa")), listBytes(ThreeEntries));
    d->findChild<QPushButton*>("Command1")->click();
    QCOMPARE(readBytes(f.cwd.file("l.xxa")), listBytes(ThreeEntries + QStringList{name, path}));
}

QTEST_MAIN(Form3Test)
#include "tst_form3.moc"
