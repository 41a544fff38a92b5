// The launcher and its two dialogs as their user drives them: the table of
// userPaths, whose notation the comment above userPaths_data explains, and a
// few cases of their own.
#include "LauncherFixture.h"
#include "QtTexts.h"
#include "TextCodec.h"
#include "WorkArea.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QMoveEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>

namespace {
const QStringList Three{"一", "/1", "二", "/2", "三", "/3"};

// l.xxa at start-up; quick files q1..q3 hold Q1..Q3 and q4 is damaged; the
// window manager adds a frame that is not square.
Form1& startWithLists(LauncherFixture& f) {
    f.writeList("l.xxa", Three);
    for (int i = 1; i <= 3; ++i)
        f.writeList(QString("q%1.xxa").arg(i), {QString("Q%1").arg(i), QString("/q%1").arg(i)});
    f.writeList("q4.xxa", {"x", "9", "dangling"});
    f.writeSettings("l.xxa", {"q1.xxa", "q2.xxa", "q3.xxa", "q4.xxa"});
    f.platform.frameExtraTwips = {120, 450};
    return f.start();
}

// The corner of the primary monitor the outer frame was last moved flush
// with, or "?".
QString cornerOf(FakePlatform& p, QWidget* w) {
    const QRect s = p.screen, o(p.lastMoveTwips, p.outerSizeTwips(w));
    const bool flush[] = {o.topLeft() == s.topLeft(), o.bottomLeft() == s.bottomLeft(),
                          o.topRight() == s.topRight(), o.bottomRight() == s.bottomRight()};
    return QStringList{"TL", "BL", "TR", "BR", "?"}[std::find(flush, flush + 4, true) - flush];
}

QString listFile(LauncherFixture& f) {
    const QString text = QStringDecoder(Cp932Name).decode(readBytes(f.cwd.file("l.xxa")));
    const QString lines = QString(text).replace("\r\n", ",").chopped(text.isEmpty() ? 0 : 1);
    if (text.count("\r\n") > 12)
        return QString("l.xxa=%1 lines").arg(text.count("\r\n"));
    if (lines == Three.join(','))
        return "";
    return lines.startsWith(Three.join(',') + ",")
               ? "l.xxa+" + lines.mid(Three.join(',').size() + 1)
               : "l.xxa=" + lines;
}

// What the user sees, in one line (see the notation above userPaths_data).
QString seenIn(LauncherFixture& f) {
    Form1& w = *f.launcher;
    FakePlatform& p = f.platform;
    QStringList s;
    const QString names = comboItems(find<QComboBox>(w, "Combo1")).join(',');
    if (names != "一,二,三")
        s << (names.isEmpty() ? "()" : names);
    if (!w.isVisible())
        s << "hidden";
    else if (w.isMinimized())
        s << "minimised";
    if (!(w.windowFlags() & Qt::WindowStaysOnTopHint))
        s << "not-topmost";
    if (p.trayIconOf)
        s << (p.trayIconOf == &w ? "tray" : "tray?");
    const QWidget* focus = QApplication::focusWidget(); // a menu from the keys opens under it
    const auto under = focus ? focus->mapToGlobal(QPoint(0, focus->height())) : QPoint();
    for (qsizetype i = 0; i < p.popups.size(); ++i) {
        s << p.popups[i];
        if (p.popupPoints[i])
            s.last() += p.popupPoints[i] == under ? "@focus" : "@?";
    }
    QWidget* options = topLevel("Form3");
    if (options) {
        const QString boxes = find<QLineEdit>(*options, "Text1")->text() + "," +
                              find<QLineEdit>(*options, "Text2")->text();
        s << (boxes == ",C:\\" ? "Form3" : "Form3[" + boxes + "]");
    }
    if (QWidget* d = topLevel("Form2"))
        s << "Form2[" + comboItems(find<QComboBox>(*d, "Combo1")).join(',') + "]";
    for (QWidget* d : {options, topLevel("Form2")}) // centred on the primary monitor
        if (d && (QRect(d->pos() * 15, p.outerSizeTwips(d)).center() - p.screen.center())
                         .manhattanLength() > 30)
            s << d->objectName() + "-off-centre";
    QString quick = "quick:";
    for (const char* item : {"sk15", "sk16", "sk17", "sk18"})
        if (find<QAction>(w, "sk14")->isVisible() && find<QAction>(w, item)->isVisible())
            quick += item + ("=" + find<QAction>(w, item)->text()) + " ";
    s << (quick == "quick:sk15=q1.xxa sk16=q2.xxa sk17=q3.xxa sk18=q4.xxa " ? "" : quick.trimmed());
    s << listFile(f) << (p.lastMoved == &w ? cornerOf(p, &w) : "");
    for (const char* item : {"sk9", "sk10", "sk11", "sk12"})
        s << (find<QAction>(w, item)->isChecked() ? item : "");
    for (const QString& target : p.launches)
        s << "ran " + target;
    s << p.messages;
    for (const auto& d : p.openDialogs) { // by its owner, with its title, from a folder
        const bool right = d.owner == (options ? options : &w) && d.title == "ファイルを開く" &&
                           (options || d.nameFilters == QStringList{"ショートカット (*.xxa)"});
        const QString folder = QFileInfo(d.start).fileName();
        s << (right ? "browsed" : "browsed?") + (folder.isEmpty() ? "" : "@" + folder);
    }
    s << (p.ended ? "ended" : "");
    s.removeAll(QString());
    return s.join(' ').replace(f.cwd.path(), "{dir}");
}

// The values of the settings file whose bytes changed since before.
QString saved(const QByteArray& now, const QByteArray& before) {
    const QByteArrayList a = now.split('\n'), b = before.split('\n');
    const char* names[] = {"start", "q1", "corner", "", "q2", "", "", "q3", "", "", "q4"};
    QStringList s;
    for (int i : {0, 1, 4, 7, 10, 2}) // one of each value, as the first group holds it
        s << (a.value(i) == b.value(i) ? "" : names[i] + ("=" + QString(a.value(i)).trimmed()));
    s.removeAll(QString());
    return s.isEmpty() ? "" : " saved " + s.join(' ');
}

// Drops links (or only a plain text) over Combo1's edit field, through the window
// as the window system delivers a drag, so Qt picks the widget that takes
// it. Dragged with Shift, which asks for a move: taken as a link, the file
// manager leaves the original.
void drop(Form1& w, const QStringList& urls) {
    QMimeData mime;
    if (urls[0] != "text")
        mime.setUrls(QUrl::fromStringList(urls)); // with them as text, as file managers offer
    mime.setText(urls[0] == "text" ? "/bin/true" : urls.join('\n'));
    const auto actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    const QPoint at = find<QComboBox>(w, "Combo1")->lineEdit()->mapTo(&w, QPoint(5, 5));
    QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(w.windowHandle(), &enter);
    QCOMPARE(enter.isAccepted(), urls[0] != "text");
    QDropEvent dropped(at, actions, &mime, Qt::LeftButton, Qt::ShiftModifier);
    if (enter.isAccepted() && QCoreApplication::sendEvent(w.windowHandle(), &dropped))
        QCOMPARE(dropped.dropAction(), Qt::LinkAction);
}

// Starts afresh on the settings of a "start:" step, then frames the window
// as the window manager does after it was placed.
void restart(LauncherFixture& f, const QString& settings) {
    QFile::remove(f.settingsFile());
    const QByteArray start = cp932("資料") + ".xxa\r\n";
    if (settings == "bytes") {
        writeBytes(f.settingsFile(),
                   start + "l\xe9.xxa\r\n\r\n" + (start + "\r\n\r\n").repeated(3));
        makeFile(cp932("資料.xxa"), listBytes({"本物", "資料.txt"}));
        makeFile(cp932("資料.txt"), "");
        makeFile("l\xe9.xxa", listBytes({"速", "/s"}));
        makeFile("l\xef\xbf\xbd.xxa", listBytes({"DECOY", "/d"}));
    } else if (settings != "none") {
        f.writeSettings("l.xxa", settings.section('|', 1).split(','), settings.section('|', 0, 0));
    }
    f.platform.frameExtraTwips = {0, 0};
    Form1& w = f.start();
    QCOMPARE(find<QComboBox>(w, "Combo1")->currentText(), QString());
    f.platform.frameExtraTwips = {120, 450};
    QMoveEvent framed(w.pos(), w.pos());
    QCoreApplication::sendEvent(&w, &framed); // placed again
    QWidget* placed = std::exchange(f.platform.lastMoved, nullptr);
    QCoreApplication::sendEvent(&w, &framed); // as a drag: same size, left alone
    QCOMPARE(std::exchange(f.platform.lastMoved, placed), nullptr);
}

// Keys go to the active window, which the window system makes so, as it
// does for a user's click.
const auto active = [](QWidget& w) { return w.activateWindow(), QTest::qWaitForWindowActive(&w); };

// The bytes of the list an "l:" or "q1:" step writes.
QByteArray listOf(const QString& how) {
    if (how == "undecodable")
        return cp932("壊れ") + "\r\n/h/\x81\x20m\r\n";
    if (const int entries = how.toInt())
        return listBytes(numberedValues(entries));
    return listBytes(how.split(','));
}

// Does what an "F1:", "F2:" or "F3:" step says in that window.
void act(QWidget& window, const QString& what) {
    const QString name = what.section(QRegularExpression("[=:]"), 0, 0);
    const QString input = what.mid(name.size() + 1);
    QWidget* on = name == window.objectName() ? &window : window.findChild<QWidget*>(name);
    QVERIFY(active(window));
    if (what[0].isDigit())
        return choose(window, "Combo1", what.toInt());
    QVERIFY2(on, qPrintable(name));
    if (what.contains('=')) {
        const QString text = QString(input).replace("\\r", "\r").replace("\\n", "\n");
        auto* combo = qobject_cast<QComboBox*>(on);
        return combo ? combo->setEditText(text) : type(window, qPrintable(name), text);
    }
    if (input.isEmpty())
        return click(window, qPrintable(name));
    on->setFocus();
    if (const int b = QStringList{"left", "right", "middle"}.indexOf(input); b >= 0) {
        QTest::mouseRelease(on, Qt::MouseButton(1 << b));
    } else if (input == "request") { // no edit menu of Qt's own opens
        bool qtMenu = false;
        QTimer::singleShot(50, [&] {
            if (QWidget* menu = QApplication::activePopupWidget())
                qtMenu = menu->close();
        });
        QContextMenuEvent request(QContextMenuEvent::Keyboard, {2, 2}, on->mapToGlobal(QPoint()));
        QCoreApplication::sendEvent(on, &request);
        QTest::qWait(100);
        QVERIFY(!qtMenu);
    } else {
        const QKeyCombination key = QKeySequence(input)[0];
        QTest::keyClick(on, key.key(), key.keyboardModifiers());
    }
}
} // namespace

class LauncherTest : public QObject {
    Q_OBJECT
  private slots:
    // Each row's tag is what the user does, a space between steps; its column is
    // what the user then sees.
    //
    // Steps:
    //   sk7, hyouzi, ...    the launcher's menu item of that name, triggered
    //   tray:right          the tray icon's click: the right button's release
    //   tray:double         a double-click on it
    //   F1:x, F2:x, F3:x    x in the launcher, the delete or the options dialog
    //                       (Form1, Form2, Form3), made active first:
    //     Text1=text          typed into the box, or the combo box's edit text
    //                         set (\r and \n stand for line ends)
    //     0, 1, 2             that item of Combo1 picked
    //     Command1            the button clicked
    //     Command1:right      that mouse button (left, right, middle) released
    //                         over the control
    //     Combo1:Shift+F10    that key pressed on the control
    //     Combo1:request      the context menu request of the Menu key on X
    //   drop:a,b            links dropped on the launcher, dragged with Shift,
    //                       which asks for a move; drop:text: a plain text
    //   start:c|a,b         a fresh start on settings with corner line c and quick
    //                       files a, b, ...; start:none: without settings;
    //                       start:bytes: code page 932 settings naming 資料.xxa,
    //                       kept under its code page 932 name, and quick file
    //                       l\xe9.xxa, which does not decode, beside the decoy its
    //                       stand-in names in UTF-8
    //   l:x, q1:x           l.xxa or quick file 1 rewritten with x: names and
    //                       paths, a number of entries, or undecodable
    //   nolist              l.xxa removed
    //   name:x, answer:x    the next answer of the input box, of the open-file
    //                       dialog (for answer:, one of userPaths' answers, or
    //                       a file in the current folder)
    //   notray, unopenable  the desktop has no tray; the target does not open
    //   close, show         the launcher asked to close; shown again, as a
    //                       closing dialog shows it
    //   message             a window of the program's own shown and closed
    //   panel               a panel takes the bottom of the work area
    //   utf8                資料.xxa and 資料.txt under their UTF-8 names too
    //
    // Seen, in this order, only where it differs from a launcher just started on
    // l.xxa (一,二,三), shown and on top: the launcher's names, "()" for none;
    // hidden or minimised; not-topmost; "tray" where the launcher's icon is in
    // the tray ("tray?" another window's); each popup as menu/the buttons that choose,
    // with @focus where it opened under the focused control, @? elsewhere;
    // Form3, with [name,path] where its boxes are not fresh; Form2[its names];
    // Form2-off-centre, Form3-off-centre; quick: the menu's quick files where
    // they are not q1..q4; l.xxa+ the lines after the three entries, or l.xxa=
    // all its lines; the corner moved into (TL, BL, TR, BR); the corner item
    // checked; "ran" and each target (bytes: by its undecoded bytes); the
    // messages, the input box's prompts; "browsed" for each open-file dialog
    // (browsed?: a wrong owner, title or filter), @ the folder it opened in;
    // ended; "saved" and the settings values that changed.
    void userPaths_data() {
        QTest::addColumn<QString>("seen");
        const std::pair<const char*, const char*> rows[] = {
            {"start:1|a.xxa,,c.xxa close", "hidden tray quick:sk15=a.xxa sk17=c.xxa TL sk9"},
            // An empty quick file loads nothing; the next load falls back to Cat.xxa.
            {"start:2|,b.xxa sk15 close", "猫 hidden tray quick:sk15= sk16=b.xxa BL sk10"},
            {"start:0| close", "hidden tray quick:"},
            {"start:none close", "猫 hidden tray quick:"}, // Cat.xxa from the next load on
            // A list path is the bytes of its file: registering writes there, OK
            // keeps every byte of the settings; a code page 932 name on disk
            // counts only where the UTF-8 one does not exist.
            {"start:bytes sk7 F3:Text1=四 F3:Command1 F3:OK", "本物,四 tray quick:sk15=l�.xxa"},
            {"start:bytes sk15 sk2 answer:shown sk13", "本物 Form2[速] quick:sk15=l�.xxa browsed"},
            {"start:bytes F1:0 F1:Command1", "本物 quick:sk15=l�.xxa ran bytes"},
            {"utf8 start:bytes F1:0 F1:Command1", "UTF8 quick:sk15=l�.xxa ran 資料.txt"},
            {"name:有る new", "既存 ファイル名を記入してください。"},
            // The open-file record keeps the list last opened as its folder; the
            // path must fit its buffer of 511 bytes and a NUL (表 takes two).
            {"answer:開.xxa sk13 answer:511 sk13 answer:512 sk13 answer:😀.xxa sk13 sk13",
             "() browsed browsed@開.xxa browsed@a.xxa browsed@a.xxa browsed@a.xxa"},
            {"sk9 sk12", "BR sk12 saved corner=4"},
            // A panel takes the bottom of the work area: a window in no corner
            // stays (one in a corner follows: the panel tests of test_desktop).
            {"panel", ""},
            {"sk16 F1:0 F1:Command1 sk17 F1:0 F1:Command1 sk15", "Q1 ran /q2 ran /q3"},
            // A list that fails to load leaves the dialogs on the list shown.
            {"sk18 sk2", "() Form2[一,二,三]"},
            {"notray hyouzi", "minimised"},
            // A window of the program's own (a message box, the file dialog)
            // closing while the launcher sits in the tray does not end it.
            {"hyouzi message", "hidden tray"},
            {"close show sk4", "ended"},
            {"hyouzi Modosu", ""},
            {"hyouzi Toziru", "hidden ended"},
            // Only the codes the icon sends for right up and double click act.
            {"hyouzi tray:right", "hidden tray tasukumenu/either"},
            {"hyouzi tray:double", ""},
            {"F1:Command1:right F1:Form1:right", "op1/left op1/left"},
            {"F1:Command1:left F1:Command1:middle F1:Form1:left", ""},
            {"F1:Combo1:Shift+F10", "op1/left@focus"},
            {"F1:Command1:Menu", "op1/left@focus"},
            {"F1:Combo1:Delete", "hidden tray"},
            {"F1:Command1:Delete", "hidden tray"},
            // Typing 三 in the edit field picks nothing: 二 stays picked.
            {"F1:1 F1:Combo1=三 F1:Combo1:Return F1:Combo1:F10 F1:Combo1:request "
             "F1:Command1:Return F1:Command1",
             "ran /2 ran /2"},
            {"F1:Command1 F1:2 F1:Command1", "ran /3 そこは違います"},
            {"unopenable F1:0 F1:Command1", "ran /1 ファイルが存在しません"},
            // Its path: 0x81 0x20, a lead byte of code page 932 without its second.
            {"q1:undecodable sk15 F1:0 F1:Command1", "壊れ ran bytes"},
            // A pick holds over a reload only while its entry stays in its place.
            {"F1:1 q1:一,/1,二,/2,三,/3 sk15 F1:Command1", "ran /2"},
            {"F1:1 q1:一,/1,二,/x sk15 F1:Command1 F1:1 q1:二,/x,三,/3 sk15 F1:Command1 F1:1 "
             "q1:一,/1 sk15 F1:Command1",
             "一 そこは違います そこは違います そこは違います"},
            // Registering reads the file again and appends to what it holds now.
            {"sk7 F3:Text1=四 F3:Text2=/4 F3:Command1:Return F3:Command1 F3:Text1=b F3:Command1",
             "Form3 l.xxa+四,/4,,C:\\,b,C:\\"},
            {"sk7 F3:Text1=a\\r\\nb\\nc F3:Command1", "Form3 l.xxa+a b c,C:\\"},
            {"l:98 sk7 F3:Command1", "Form3 l.xxa=198 lines"},
            {"sk7 l:99 F3:Text1=x F3:Command1",
             "Form3[x,C:\\] l.xxa=198 lines これ以上登録できません"},
            {"sk7 F3:Text1=😀 F3:Command1", "Form3[😀,C:\\] 書き込みエラー"},
            // "ﾃｽ" in code page 932 is valid UTF-8 ("ý"): the file would read back as other text.
            {"l:a,/a sk7 F3:Text1=ﾃｽ F3:Command1", "Form3[ﾃｽ,C:\\] l.xxa=a,/a 書き込みエラー"},
            // Display names take the Windows forms of what Japanese input on Linux gives.
            {"sk7 F3:Text1=〜‖− F3:Command1", "Form3 l.xxa+～∥－,C:\\"},
            // A new list's file is made by its first registration.
            {"name:memo new sk7 F3:Text1=新 F3:Command1 F3:OK",
             "新 tray ファイル名を記入してください。"},
            // OK saves the boxes, keeps the corner as it stands in the file, and
            // the launcher reloads its list; Close saves nothing, reloads nothing.
            {"sk7 hyouzi F3:Text1=四 F3:Command1 F3:Text3=n.xxa F3:Text7= F3:OK",
             "一,二,三,四 tray l.xxa+四,C:\\ saved start=n.xxa q4="},
            {"sk7 sk10 F3:Text3=n.xxa F3:OK:Return", "tray BL sk10 saved start=n.xxa corner=2"},
            {"sk7 F3:Text3=n.xxa F3:OK sk11", "tray TR sk11 saved start=n.xxa corner=3"},
            {"sk7 hyouzi F3:Command1 F3:Command10:Return", "tray l.xxa+,C:\\"},
            {"sk7 F3:Text1=四 F3:Text1:Return F3:Command2:Num+Enter", "Form3[四,] browsed"},
            {"sk7 hyouzi F3:Text1:Escape", "tray"},
            // Deleting reads the file again and removes the entry picked, if it
            // still stands where the dialog shows it.
            {"sk2 F2:2 F2:Command1 F2:0 F2:Command1:Return", "Form2[二] l.xxa=二,/2"},
            {"l:一,/1 sk2 F2:0 F2:Command1", "Form2[] l.xxa="},
            {"sk2 F2:Command1 F2:0 F2:Command1 F2:Command1",
             "Form2[二,三] l.xxa=二,/2,三,/3 そこは違います そこは違います"},
            {"sk2 F2:1 l:二,/2,三,/3 F2:Command1", "Form2[二,三] l.xxa=二,/2,三,/3 そこは違います"},
            {"sk2 F2:0 l:100 F2:Command1 F2:Command1",
             "Form2[] l.xxa=200 lines そこは違います そこは違います"},
            {"nolist sk2", "Form2[] l.xxa="},
            {"sk2 sk7 F2:2 F3:Text1=四 F3:Command1 F2:Command1 F2:0 F3:Text1=五 "
             "F3:Command1 F2:Command1",
             "Form3 Form2[二,四,五] l.xxa=二,/2,四,C:\\,五,C:\\"},
            {"sk2 F2:0 F2:Command1 hyouzi F2:Combo1:Escape", "tray l.xxa=二,/2,三,/3"},
            {"sk2 F2:0 F2:Command1 F2:Command2:Return", "二,三 tray l.xxa=二,/2,三,/3"},
            // A dropped link opens the options dialog with it filled in, for 登録.
            {"drop:file://{dir}/報告書.pdf F3:Command1", "Form3 l.xxa+報告書.pdf,{dir}/報告書.pdf"},
            {"drop:file://{dir}/app.desktop", "Form3[エディタ,{dir}/app.desktop]"},
            {"drop:file://{dir}/plain.desktop", "Form3[My Tool,{dir}/plain.desktop]"},
            {"drop:file://{dir}/none.desktop", "Form3[none.desktop,{dir}/none.desktop]"},
            {"drop:https://example.com/docs/a%20b.html",
             "Form3[a b.html,https://example.com/docs/a%20b.html]"},
            {"drop:https://www.debian.org/", "Form3[www.debian.org,https://www.debian.org/]"},
            {"drop:file://{dir}/資料/,file://{dir}/報告書.pdf", "Form3[資料,{dir}/資料]"},
            {"sk7 F3:Text1=打ちかけ drop:file://{dir}/報告書.pdf",
             "Form3[報告書.pdf,{dir}/報告書.pdf]"},
            {"drop:text", ""},
        };
        for (const auto& [does, seen] : rows)
            QTest::newRow(does) << QString(seen);
    }

    void userPaths() {
        QFETCH(QString, seen);
        LauncherFixture f(true); // settings in the user's folder, as installed
        const QString folder = "/" + QString(252, QChar(u'表')) + "/";
        const QMap<QString, QString> answers{
            {"511", folder + "a.xxa"},
            {"512", folder + "ab.xxa"},
            {"shown", f.cwd.file(QFile::decodeName(cp932("資料.xxa")))}};
        f.writeList("有る.xxa", {"既存", "/bin/x"});
        f.writeList("開.xxa", {"開", "/bin/o"});
        f.writeList("Cat.xxa", {"猫", "/bin/cat"});
        QDir(f.cwd.path()).mkdir("資料");
        writeBytes(f.cwd.file("報告書.pdf"), "%PDF");
        writeBytes(f.cwd.file("app.desktop"), "[Desktop Entry]\nName=Editor\nName[ja]=エディタ\n"
                                              "[Desktop Action new]\nName[ja]=新しい窓\n");
        writeBytes(f.cwd.file("plain.desktop"), "# x\r\n[Desktop Entry]\r\nName = My\\sTool\r\n");
        writeBytes(f.cwd.file("none.desktop"), "[Desktop Entry]\nExec=true\n");
        startWithLists(f);
        QByteArray settings = readBytes(f.settingsFile());
        for (const QString& step : QString(QTest::currentDataTag()).split(' ')) {
            const QString what = step.section(':', 0, 0), how = step.section(':', 1);
            Form1& w = *f.launcher;
            if (step == "notray")
                f.platform.trayAvailable = false;
            else if (step == "unopenable")
                f.platform.openResult = OpenResult::NotFound;
            else if (step == "close")
                w.close();
            else if (step == "show")
                w.show();
            else if (step == "message") { // closes with the event loop running
                QWidget message;
                message.show();
                QTimer::singleShot(0, &message, &QWidget::close);
                QTimer::singleShot(100, [] { QCoreApplication::exit(7); });
                QCOMPARE(QCoreApplication::exec(), 7);
            } else if (step == "panel")
                f.platform.screen.setBottom(f.platform.screen.bottom() - 450),
                    QCoreApplication::postEvent(&w, new WorkAreaChangeEvent), QTest::qWait(0);
            else if (step == "utf8")
                writeBytes(f.cwd.file("資料.xxa"), listBytes({"UTF8", "資料.txt"})),
                    writeBytes(f.cwd.file("資料.txt"), "");
            else if (what == "start")
                restart(f, how), settings = readBytes(f.settingsFile());
            else if (what == "drop")
                drop(w, QString(how).replace("{dir}", f.cwd.path()).split(','));
            else if (what == "name")
                f.platform.inputAnswers.push_back(how);
            else if (what == "answer")
                f.platform.openFileAnswers.push_back(answers.value(how, f.cwd.file(how)));
            else if (what == "q1" || what == "l")
                writeBytes(f.cwd.file(what + ".xxa"), listOf(how));
            else if (step == "nolist")
                QVERIFY(QFile::remove(f.cwd.file("l.xxa")));
            else if (QWidget* in = what == "F1" ? &w : topLevel(qPrintable("Form" + what.mid(1)));
                     what[0] == 'F')
                QVERIFY2(in && (act(*in, how), true), "the window is not open");
            else if (what == "tray")
                emit f.platform.trayIconClicked(how == "right" ? TrayClick::RightButtonUp
                                                               : TrayClick::DoubleClick);
            else
                f.trigger(qPrintable(step));
        }
        QCOMPARE(seenIn(f) + saved(readBytes(f.settingsFile()), settings), seen);
    }

    // No control overlaps another (by more than a rounded pixel) nor, in the
    // dialogs, runs past its frame; each frame's line runs through its title,
    // clear above its controls. A client the window manager makes larger (KWin,
    // sway) keeps that size when the window moves and is painted to its edge.
    // The run button's picture fills it, so the focus needs a mark of its own.
    // Qt's own dialogs and menus speak Japanese too, whatever the locale.
    void windowsLayoutFocusAndTabOrder() {
        QVERIFY(installJapaneseQtTexts());
        QCOMPARE(QDialogButtonBox(QDialogButtonBox::Cancel).buttons().value(0)->text(),
                 "キャンセル");
        LauncherFixture f;
        QVERIFY(active(startWithLists(f)));
        find<QWidget>(*f.launcher, "Combo1")->setFocus();
        auto* run = find<QPushButton>(*f.launcher, "Command1");
        const QImage unfocused = run->grab().toImage();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), run);
        QVERIFY(run->grab().toImage() != unfocused);
        QList<QWidget*> parents{f.launcher.get(), &f.openDialog("sk2"), &f.openDialog("sk7")};
        for (QWidget* window : parents) {
            const QSize given = window->size() + QSize(7, 11);
            window->windowHandle()->resize(given);
            QCoreApplication::processEvents();
            window->move(window->pos() + QPoint(1, 1));
            const QImage image = window->grab().toImage();
            QCOMPARE(image.size(), given);
            QCOMPARE(image.pixelColor(given.width() - 1, given.height() - 1),
                     window->palette().color(QPalette::Window));
        }
        for (QGroupBox* frame : parents.last()->findChildren<QGroupBox*>())
            parents << frame;
        for (QWidget* parent : parents) {
            QList<QWidget*> controls = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            controls.removeIf([](QWidget* c) { return c->isWindow(); }); // the menus
            for (QWidget* c : controls) {
                QVERIFY(parent == f.launcher.get() || parent->rect().contains(c->geometry()));
                const QRect inner = c->geometry().marginsRemoved({1, 1, 1, 1});
                for (QWidget* o : controls)
                    QVERIFY2(c == o || !inner.intersects(o->geometry()),
                             qPrintable(c->objectName()));
            }
            if (!qobject_cast<QGroupBox*>(parent))
                continue;
            const QImage image = parent->grab().toImage();
            const int x = parent->width() - 8; // right of the title, of every control
            int line = 0;
            while (image.pixel(x, line) == image.pixel(x, 0))
                ++line;
            QVERIFY(line < parent->fontMetrics().height());
            for (QWidget* c : controls)
                QVERIFY2(c->y() > line + 1, qPrintable(c->objectName()));
        }
        // Tab from the name box visits every control once; each "." follows the
        // box it fills, with a program or a list, from a fresh record;
        // cancelled, it empties the box.
        QVERIFY(active(*parents[2]));
        QStringList visited;
        QWidget* box = nullptr;
        for (QWidget* at = QApplication::focusWidget(); !visited.contains(at->objectName());
             at = QApplication::focusWidget()) {
            visited << at->objectName();
            if (auto* browse = qobject_cast<QPushButton*>(at); browse && browse->text() == ".") {
                f.platform.openFileAnswers.push_back("/u/" + box->objectName());
                QTest::keyClick(browse, Qt::Key_Return);
                QCOMPARE(qobject_cast<QLineEdit*>(box)->text(), "/u/" + box->objectName());
                QCOMPARE(f.platform.openDialogs.last().start, QString());
                QCOMPARE(f.platform.openDialogs.last().nameFilters.value(0),
                         box->objectName() == "Text2" ? "exe (*.exe)" : "ショートカット (*.xxa)");
                QTest::keyClick(browse, Qt::Key_Return);
                QCOMPARE(qobject_cast<QLineEdit*>(box)->text(), QString());
            }
            box = at;
            QTest::keyClick(at, Qt::Key_Tab);
        }
        QCOMPARE(visited.size(), 16);
        QCOMPARE(visited.first(), QString("Text1"));
        QCOMPARE(f.platform.openDialogs.size(), 12);
    }
};

QTEST_MAIN(LauncherTest)
#include "tst_launcher.moc"
