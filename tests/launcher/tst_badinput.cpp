// What the user gets from damaged, odd or hostile list and settings files:
// what the launcher shows, what the two dialogs show and say, and whether a
// registration goes through. Reading never changes a file; a registration
// either keeps every byte that was there or is refused with a message.
// README's "Bad input" table lists these rows.
#include "FaultInjection.h"
#include "Form2.h"
#include "Form3.h"
#include "LauncherFixture.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString NoRoom = u"これ以上登録できません"_s;
const QString WriteError = u"書き込みエラー"_s;
const QString ReadError = u"読み込みエラー"_s;
constexpr qint64 OneGiB = qint64(1) << 30;

// A file as it is on disk, without reading a huge one whole.
struct Fingerprint {
    bool isFile = false;
    qint64 size = 0;
    QDateTime modified;
    QByteArray bytes;

    explicit Fingerprint(const QString& path) {
        const QFileInfo info(path);
        isFile = info.isFile();
        size = info.size();
        modified = info.lastModified();
        if (isFile && size < (1 << 20))
            bytes = readBytes(path);
    }
    bool operator==(const Fingerprint&) const = default;
};

QStringList items(QComboBox* combo) {
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names << combo->itemText(i);
    return names;
}

QLineEdit* box(QWidget& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(name);
}

// The launcher has loaded a good l.xxa, so both dialogs open that path.
struct Scenario : LauncherFixture {
    Scenario() {
        writeList("l.xxa", {u"良"_s, u"/bin/good"_s});
        writeSettings("l.xxa");
        start();
    }
    QString list() const { return cwd.file("l.xxa"); }
    void replaceList(const QString& content) {
        const QString path = list();
        QFile::remove(path);
        if (content == u"folder"_s) {
            QDir().mkdir(path);
        } else if (content == u"dangling symlink"_s) {
            QFile::link(u"gone.xxa"_s, path);
        } else if (content == u"1 GiB"_s) {
            QFile huge(path);
            if (!huge.open(QIODevice::WriteOnly) || !huge.resize(OneGiB))
                qFatal("cannot make the 1 GiB file");
        }
    }
    QStringList deleteDialogItems() {
        launcher->sk2_Click();
        Form2& d = *launcher->deleteDialog();
        const QStringList shown = items(d.findChild<QComboBox*>("Combo1"));
        d.close();
        return shown;
    }
    void registerEntry(const QString& name) {
        launcher->sk7_Click();
        Form3& d = *launcher->optionsDialog();
        box(d, "Text1")->setText(name);
        box(d, "Text2")->setText(u"/bin/new"_s);
        d.Command1_Click();
        d.close();
    }
};

} // namespace

class BadInputTest : public QObject {
    Q_OBJECT
  private slots:
    void listFile_data();
    void listFile();
    void settingsLineCount_data();
    void settingsLineCount();
    void codePageBytesThatReadAsUtf8AreNotWritten();
    void settingsKeepUndecodableBytes_data();
    void settingsKeepUndecodableBytes();
};

void BadInputTest::listFile_data() {
    // "", "folder", "1 GiB", "dangling symlink", "unreadable", or "start-up":
    // the launcher starts on the file instead of on a good list
    QTest::addColumn<QString>("special");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("shown"); // by the launcher and the delete dialog
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArray>("added"); // what a registration appends; empty: refused

    const QByteArray newEntry = listBytes({u"新"_s, u"/bin/new"_s});
    const QByteArray newUtf8 = u"新\r\n/bin/new\r\n"_s.toUtf8();
    const QByteArray japaneseUtf8 = u"名前\r\n/ホーム\r\n"_s.toUtf8();
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char(i % 256); // 16 lone CRs: 17 lines, the last without its path
    const QStringList none;
    const QString raw;

    QTest::newRow("empty file") << raw << QByteArray() << none << none << newEntry;
    QTest::newRow("odd line count")
        << raw << QByteArray("a\r\nb\r\nc\r\n") << none << QStringList{NoRoom} << QByteArray();
    QTest::newRow("one blank line after the last entry")
        << raw << QByteArray("a\r\nb\r\n\r\n") << none << QStringList{NoRoom} << QByteArray();
    QTest::newRow("two blank lines after the last entry")
        << raw << QByteArray("a\r\nb\r\n\r\n\r\n") << QStringList{u"a"_s, QString()} << none
        << newEntry;
    QTest::newRow("100 entries") << raw << listBytes(numberedValues(100)) << none
                                 << QStringList{NoRoom} << QByteArray();
    // No good list before it: the dialogs open the damaged list itself.
    QTest::newRow("odd line count at start-up") << u"start-up"_s << QByteArray("a\r\nb\r\nc\r\n")
                                                << none << QStringList{NoRoom} << QByteArray();
    QTest::newRow("100 entries at start-up") << u"start-up"_s << listBytes(numberedValues(100))
                                             << none << QStringList{NoRoom} << QByteArray();
    QTest::newRow("1 GiB with no line end")
        << u"1 GiB"_s << QByteArray() << none << QStringList{NoRoom} << QByteArray();
    QTest::newRow("binary garbage")
        << raw << garbage << none << QStringList{NoRoom} << QByteArray();
    QTest::newRow("invalid code page 932 bytes") << raw << QByteArray("a\x85\x40z\r\nx\x81\r\n")
                                                 << QStringList{u"a\uFFFDz"_s} << none << newEntry;
    QTest::newRow("UTF-8 without byte order mark")
        << raw << japaneseUtf8 << QStringList{u"名前"_s} << none << newUtf8;
    QTest::newRow("UTF-8 with byte order mark")
        << raw << "\xEF\xBB\xBF" + japaneseUtf8 << QStringList{u"名前"_s} << none << newUtf8;
    QTest::newRow("symlink to a file not made yet")
        << u"dangling symlink"_s << QByteArray() << none << none << newEntry;
    QTest::newRow("folder in place of the file")
        << u"folder"_s << QByteArray() << none << QStringList{ReadError, WriteError}
        << QByteArray();
    QTest::newRow("no read permission")
        << u"unreadable"_s << listBytes({u"一"_s, u"/bin/one"_s}) << none
        << QStringList{ReadError, WriteError} << QByteArray();
}

void BadInputTest::listFile() {
    QFETCH(QString, special);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, messages);
    QFETCH(QByteArray, added);
    Scenario s;
    s.replaceList(special);
    if (special.isEmpty() || special == u"unreadable"_s || special == u"start-up"_s)
        writeBytes(s.list(), bytes);
    if (special == u"start-up"_s)
        s.start();
    const Fingerprint before(s.list());

    std::optional<ScopedUnprivileged> user;
    if (special == u"unreadable"_s) {
        user.emplace(s.cwd.path());
        if (!user->permissionsCount())
            QSKIP("running as root and cannot become nobody: permission bits would not count");
        QFile::setPermissions(s.list(), QFile::WriteOwner);
    }
    s.launcher->close(); // to the tray, and the list is read again
    QCOMPARE(s.comboItems(), shown);
    QCOMPARE(s.launcher->command1Tag(), s.list().section('/', -1));
    QCOMPARE(s.deleteDialogItems(), shown);
    if (!user)
        QCOMPARE(Fingerprint(s.list()), before); // reading changes nothing
    s.registerEntry(u"新"_s);
    if (user) {
        QFile::setPermissions(s.list(), QFile::ReadOwner | QFile::WriteOwner);
        user.reset();
    }

    QCOMPARE(s.platform.messageTexts(), messages);
    if (added.isEmpty())
        QCOMPARE(Fingerprint(s.list()), before);
    else
        QCOMPARE(readBytes(s.list()), bytes + added);
}

void BadInputTest::settingsLineCount_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("ticked");            // corner item ticked; 0 none
    QTest::addColumn<QStringList>("quickMenu"); // the quick-file items shown
    QTest::addColumn<QStringList>("boxes");     // Text3 to Text7 of the options dialog
    QTest::addColumn<QString>("cornerWritten"); // by the options dialog's OK

    const QStringList all{u"l.xxa"_s, u"A.xxa"_s, u"B.xxa"_s, u"C.xxa"_s, u"D.xxa"_s};
    const QStringList quick = all.mid(1);
    // Missing lines read as empty values: nothing the file holds is dropped.
    QTest::newRow("0 lines") << 0 << QStringList() << 0 << QStringList()
                             << QStringList(5, QString()) << QString();
    QTest::newRow("11 lines") << 11 << QStringList{u"一"_s} << 0 << quick << all << QString();
    QTest::newRow("12 lines") << 12 << QStringList{u"一"_s} << 3 << quick << all << u" 3 "_s;
    QTest::newRow("13 lines") << 13 << QStringList{u"一"_s} << 3 << quick << all << u" 3 "_s;
}

void BadInputTest::settingsLineCount() {
    QFETCH(int, lines);
    QFETCH(QStringList, shown);
    QFETCH(int, ticked);
    QFETCH(QStringList, quickMenu);
    QFETCH(QStringList, boxes);
    QFETCH(QString, cornerWritten);
    LauncherFixture f;
    f.writeList("l.xxa", {u"一"_s, u"/bin/one"_s});
    QStringList values;
    for (int group = 0; group < 4; ++group)
        values << u"l.xxa"_s << QString(QChar(u'A' + group)) + u".xxa"_s << u" 3 "_s;
    values << u"extra"_s;
    writeBytes(f.cwd.file("設定.ini"), listBytes(values.first(lines)));

    Form1& w = f.start();
    QCOMPARE(f.comboItems(), shown);
    // With no start-up list the launcher falls back to Cat.xxa.
    QCOMPARE(w.command1Tag(), lines ? u"l.xxa"_s : u"Cat.xxa"_s);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(w.menus().corners[i]->isChecked(), i + 1 == ticked);
    QStringList quickShown;
    for (QAction* item : w.menus().quickFiles) {
        if (item->isVisible() && !item->text().isEmpty())
            quickShown << item->text();
    }
    QCOMPARE(quickShown, quickMenu);

    w.sk7_Click();
    Form3& d = *w.optionsDialog();
    QStringList boxTexts;
    for (const char* name : {"Text3", "Text4", "Text5", "Text6", "Text7"})
        boxTexts << box(d, name)->text();
    QCOMPARE(boxTexts, boxes);
    // OK writes the whole twelve lines back, whatever the file lacked or had more.
    d.OK_Click();
    QStringList written;
    for (int group = 0; group < 4; ++group)
        written << boxes[0] << boxes[group + 1] << cornerWritten;
    QCOMPARE(f.settingsBytes(), listBytes(written));
    QVERIFY(f.platform.messages.isEmpty());
}

// Half-width katakana in code page 932 can be valid UTF-8 ("ﾃｽ" is C3 BD,
// which UTF-8 reads as "ý"). A file whose only non-ASCII bytes are such would
// read back as other text, so such a write is refused and the file stays.
void BadInputTest::codePageBytesThatReadAsUtf8AreNotWritten() {
    Scenario s;
    s.writeList("l.xxa", {u"a"_s, u"/bin/a"_s});
    s.registerEntry(u"ﾃｽ"_s);
    QCOMPARE(readBytes(s.list()), listBytes({u"a"_s, u"/bin/a"_s}));

    // The entry that made the file code page 932 is the one deleted.
    s.writeList("l.xxa", {u"ソフト"_s, u"/bin/soft"_s, u"ﾃｽ"_s, u"/bin/tesu"_s});
    const QByteArray twoEntries = readBytes(s.list());
    s.launcher->sk2_Click();
    Form2& d = *s.launcher->deleteDialog();
    d.Combo1_Click(0);
    d.Command1_Click();
    QCOMPARE(readBytes(s.list()), twoEntries);
    QCOMPARE(items(d.findChild<QComboBox*>("Combo1")), QStringList({u"ソフト"_s, u"ﾃｽ"_s}));
    QCOMPARE(s.platform.messageTexts(), QStringList({WriteError, WriteError}));
}

void BadInputTest::settingsKeepUndecodableBytes_data() {
    QTest::addColumn<QByteArray>("start"); // before the first line
    QTest::addColumn<QByteArray>("quickFile2");
    QTest::newRow("code page 932") << QByteArray() << QByteArray("q\x85\x40.xxa");
    QTest::newRow("UTF-8") << QByteArray("\xEF\xBB\xBF") << u"ホーム/"_s.toUtf8() + "\xFF.xxa";
}

// One byte the file's encoding cannot decode, in a value nobody touches: a
// corner change and the options dialog's OK write it back as it was.
void BadInputTest::settingsKeepUndecodableBytes() {
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, quickFile2);
    auto settings = [&](const QByteArray& corner) {
        QByteArray bytes = start;
        for (int group = 0; group < 4; ++group)
            bytes += "l.xxa\r\n" + (group == 1 ? quickFile2 : QByteArray()) + "\r\n" + corner;
        return bytes;
    };
    LauncherFixture f;
    f.writeList("l.xxa", {u"一"_s, u"/bin/one"_s});
    writeBytes(f.cwd.file("設定.ini"), settings(" 4 \r\n"));
    Form1& w = f.start();

    w.menus().corners[0]->trigger();
    QCOMPARE(f.settingsBytes(), settings(" 1 \r\n"));
    w.sk7_Click();
    w.optionsDialog()->findChild<QPushButton*>("OK")->click();
    QCOMPARE(f.settingsBytes(), settings(" 1 \r\n"));
    QCOMPARE(f.platform.messageTexts(), QStringList());
}

QTEST_MAIN(BadInputTest)
#include "tst_badinput.moc"
