// The desktop services under the launcher, on a scratch desktop whose
// mimeapps.list names the test's own handler: the variables Qt alone gets,
// starting a program on its own, opening a target as the shell's "open", and
// the work area that panels leave, and a real menu's buttons.
#include "QtEnvironment.h"
#include "QtPlatform.h"
#include "ShellOpen.h"
#include "SpawnDetached.h"
#include "TestFiles.h"
#include "WorkArea.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

using Variables = QMap<QByteArray, QByteArray>; // a null value: not set

namespace {

const QByteArrayList QtVariables{"QT_QPA_PLATFORM", "QT_ENABLE_HIGHDPI_SCALING",
                                 "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                                 "QT_FONT_DPI",     "QT_NO_GLIB"};

Variables environment() {
    Variables variables;
    for (const QByteArray& name : QtVariables)
        if (qEnvironmentVariableIsSet(name))
            variables[name] = qgetenv(name);
    return variables;
}

} // namespace

class PlatformTest : public QObject {
    Q_OBJECT
    QTemporaryDir desktop_;
    QByteArray path(const char* name) const { return QFile::encodeName(desktop_.path()) + name; }

  private slots:
    // Set before the desktop's library is first used, which reads them once.
    void initTestCase() {
        QVERIFY(QDir().mkpath(path("/data/applications")) && QDir().mkpath(path("/config")) &&
                QDir().mkpath(path("/bin")));
        // The handler notes its argument, as a real one takes the file to open.
        const QByteArray note = "printf '%s' \"$1\" > '" + path("/args") + "'\n";
        makeFile(path("/handler"), "#!/bin/sh\n" + note, true);
        makeFile(path("/-run 表 --help"), "#!/bin/sh\nset -- \"$0 $#\"\n" + note, true);
        const QByteArray entry = "[Desktop Entry]\nType=Application\nName=App\nExec=";
        makeFile(path("/data/applications/f.desktop"), entry + path("/handler") + " %f\n");
        makeFile(path("/data/applications/u.desktop"), entry + path("/handler") + " %u\n");
        makeFile(path("/config/mimeapps.list"),
                 "[Default Applications]\ntext/plain=f.desktop\ninode/directory=f.desktop\n"
                 "x-scheme-handler/tovlan-test=u.desktop\n");
        makeFile(path("/app.desktop"), entry + path("/handler") + " started\n");
        // xdg-open, for what GIO has no handler of: it finds none (status 3),
        // or runs a slow handler itself and waits for it.
        makeFile(path("/bin/xdg-open"),
                 "#!/bin/sh\n" + note + "case $1 in *slow) sleep 2;; *) exit 3;; esac\n", true);
        qputenv("PATH", path("/bin:") + qgetenv("PATH"));
        makeFile(path("/link.desktop"), "[Desktop Entry]\nType=Link\nName=L\nURL=tovlan-test:l\n");
        makeFile(path("/broken.desktop"), entry + "/no/such/program\n");
        makeFile(path("/\x93\xfa\xff.txt"));
        // What the undecodable bytes of the missing file decode to, as text.
        makeFile(QFile::encodeName(desktop_.filePath(QString::fromUtf8("\x93\xfb\xff.txt"))));
        // Every file on exFAT, NTFS and SMB mounts carries the executable bit.
        const QByteArray script = "#!/bin/sh\necho ran > ran\n", elf = "\x7f\x45LF";
        makeFile(path("/memo"), "memo\n", true);
        makeFile(path("/tool"), elf, true);
        makeFile(path("/tool without the bit"), elf);
        makeFile(path("/run.sh"), script);
        // It notes its process id, its session's and its descriptors.
        makeFile(path("/own"),
                 "#!/bin/sh\n{ echo $$; cut -d' ' -f6 /proc/$$/stat; ls -l /proc/$$/fd; } > "
                 "\"$0.out\"\n",
                 true);
        qputenv("XDG_DATA_HOME", path("/data"));
        qputenv("XDG_CONFIG_HOME", path("/config"));
        qunsetenv("XDG_CURRENT_DESKTOP");
        QVERIFY(QDir::setCurrent(desktop_.path()));
    }

    void cleanupTestCase() { ::unlink(path("/\x93\xfa\xff.txt").constData()); } // beyond QDir

    // Qt gets X11 in whole pixels and the font DPI of the user's scale, or the
    // user's own; the programs started get the user's values back. The
    // desktop tests hold a scale factor of 2, Wayland and QT_NO_GLIB through
    // the real program.
    void qtGetsX11InWholePixelsChildrenTheUsersValues() {
        const Variables user{{"QT_QPA_PLATFORM", "wayland;xcb"},
                             {"QT_SCALE_FACTOR", "1.5"},
                             {"QT_SCREEN_SCALE_FACTORS", "DP-1=2"},
                             {"QT_FONT_DPI", "120"},
                             {"QT_NO_GLIB", "1"}};
        for (const QByteArray& name : QtVariables)
            user.contains(name) ? qputenv(name, user[name]) : qunsetenv(name);
        QtEnvironment qt;
        qt.prepareForLauncher();
        QCOMPARE(environment(), (Variables{{"QT_QPA_PLATFORM", "xcb"},
                                           {"QT_ENABLE_HIGHDPI_SCALING", "0"},
                                           {"QT_FONT_DPI", "120"}}));
        qt.restoreForChildren();
        QCOMPARE(environment(), user);
    }

    // The promise the launcher's rows read from the buttons handed to the
    // fake: a menu opened for the left button ("op1/left") chooses with it
    // only, one opened for either ("tasukumenu/either") with either.
    void realMenuChoosesWithTheButtonsItAllows() {
        QtPlatform real;
        QString chosen; // allowed/button of each click that chose
        using enum MenuButtons;
        for (const auto& [buttons, button] : {std::pair{Left, Qt::LeftButton},
                                              {Left, Qt::RightButton},
                                              {Either, Qt::RightButton}}) {
            QMenu menu;
            QAction* item = menu.addAction(
                "閉じる", [&] { chosen += QString(" %1/%2").arg(int(buttons)).arg(button); });
            QTimer::singleShot(100, &menu, [&] {
                const QPoint on = menu.actionGeometry(item).center();
                // A menu takes a release only once the pointer has moved in it.
                QMouseEvent move(QEvent::MouseMove, on, menu.mapToGlobal(on), {}, {}, {});
                for (int i = 0; i < 7; ++i)
                    QCoreApplication::sendEvent(&menu, &move);
                QTest::mouseClick(&menu, button, {}, on);
                menu.close();
            });
            real.popupMenu(&menu, buttons, QPoint(100, 100));
        }
        QCOMPARE(chosen, " 0/1 1/2"); // the left button with Left, the right with Either
    }

    // Panels on a desktop of two monitors, the primary one on the right: a
    // panel takes its band from the primary monitor only where the band
    // reaches into it. Struts: left, right, top, bottom, then each band's
    // start and end along its edge.
    void workAreaBesidePanels_data() {
        QTest::addColumn<QList<Strut>>("struts");
        QTest::addColumn<QRect>("area");
        QTest::newRow("top and left of the other")
            << QList<Strut>{{0, 0, 27, 0, 0, 0, 0, 0, 0, 639, 0, 0}, {40, 0, 0, 0, 0, 799}}
            << QRect(640, 0, 640, 800);
        QTest::newRow("right half way, top across both, bottom")
            << QList<Strut>{{0, 50, 0, 0, 0, 0, 0, 399},
                            {0, 0, 27, 0, 0, 0, 0, 0, 0, 1279},
                            {0, 0, 0, 30, 0, 0, 0, 0, 0, 0, 640, 1279}}
            << QRect(640, 27, 590, 743);
    }

    void workAreaBesidePanels() {
        QFETCH(QList<Strut>, struts);
        QTEST(areaBesideStruts(QRect(640, 0, 640, 800), QSize(1280, 800), struts), "area");
    }

    // It runs in a session of its own with the standard outputs and no pipe
    // of the launcher's; what cannot run is reported; nothing stays a zombie.
    void startsProgramsOnTheirOwn() {
        int ends[2];
        QCOMPARE(pipe(ends), 0);
        QVERIFY(spawnDetached({path("/own")}));
        QTRY_VERIFY(readBytes(desktop_.filePath("own.out")).contains(" 2 -> "));
        const QByteArray out = readBytes(desktop_.filePath("own.out"));
        QCOMPARE(out.split('\n').value(1), out.split('\n').value(0));
        QVERIFY(!out.contains(" " + QByteArray::number(ends[0]) + " -> pipe:"));
        QVERIFY(!spawnDetached({path("/memo")}) && !spawnDetached({path("/missing")}));
        siginfo_t child{};
        QTRY_VERIFY(waitid(P_ALL, 0, &child, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD);
    }

    // By what the target is on disk, not by its name or mode bits alone.
    void judgesTargetsByContent() {
        const std::pair<QByteArray, TargetKind> targets[] = {
            {"data", TargetKind::Folder},
            {"tool", TargetKind::Program},
            {"tool without the bit", TargetKind::Document},
            {"run.sh", TargetKind::Document}};
        for (const auto& [name, kind] : targets) {
            const OpenPlan plan = planOpen(QString::fromUtf8(name)); // against the current folder
            QVERIFY2(plan.kind == kind && plan.target == path("/") + name, name.constData());
        }
    }

    void opensThroughTheDesktopsHandlers_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("undecoded");
        QTest::addColumn<OpenResult>("result");
        QTest::addColumn<QByteArray>("handled"); // the handler's argument; null: not run
        QTest::addColumn<bool>("late");          // a failure told after the answer
        auto add = [](const char* tag, const QString& target, OpenResult result,
                      const QByteArray& handled, const QByteArray& undecoded = {},
                      bool late = false) {
            QTest::newRow(tag) << target << undecoded << result << handled << late;
        };
        const auto ok = OpenResult::Opened, missing = OpenResult::NotFound;
        const QByteArray memo = path("/memo"), raw = path("/\x93\xfa\xff.txt"), no;
        const QByteArray rawMissing = path("/\x93\xfb\xff.txt");
        add("file url", "file://" + QString(memo), ok, memo);
        add("url of no handler, xdg-open finds none", "javascript:alert(1)", ok,
            "javascript:alert(1)", no, true);
        add("url of no handler, xdg-open's handler runs", "tovlan-none:slow", ok,
            "tovlan-none:slow");
        add("desktop entry", "app.desktop", ok, "started");
        add("link entry", "link.desktop", ok, "tovlan-test:l");
        // A leading "-" is no option; spaces do not split off arguments.
        add("program", "-run 表 --help", ok, path("/-run 表 --help") + " 0");
        add("undecodable name", QString::fromLatin1(raw), ok, raw, raw);
        add("undecodable name, missing", QString::fromUtf8(rawMissing), missing, no, rawMissing);
        add("entry of no program", "broken.desktop", OpenResult::NoHandler, no);
        add("empty", QString(), missing, no);
        add("drive letter", "C:\\app.exe", missing, no);
    }

    void opensThroughTheDesktopsHandlers() {
        QFETCH(QString, target);
        QFETCH(QByteArray, undecoded);
        QFETCH(QByteArray, handled);
        QFETCH(bool, late);
        QFile::remove(desktop_.filePath("args"));
        bool told = false;
        QElapsedTimer answer;
        answer.start();
        QTEST(shellOpen(target, undecoded, [&told] { told = true; }), "result");
        QVERIFY(answer.elapsed() < 1500); // nothing waits for a program
        QTest::qWait(handled.isNull() ? 100 : 0);
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(desktop_.filePath("args")), handled, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(told, late, 5000);
        QTest::qWait(late || !target.endsWith("slow") ? 0 : 2500); // till the handler ends
        QCOMPARE(told, late);
    }
};

QTEST_MAIN(PlatformTest)
#include "tst_platform.moc"
