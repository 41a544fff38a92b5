// The variables the launcher sets for Qt alone: an X11 client in whole
// pixels while Qt starts, the user's values again for the programs it starts.
#include "QtEnvironment.h"

#include <QTest>
#include <optional>

class TestQtEnvironment : public QObject {
    Q_OBJECT
    using Variables = QMap<QByteArray, QByteArray>; // an empty value: not set

    static const QList<QByteArray>& names() {
        static const QList<QByteArray> all{"QT_QPA_PLATFORM", "QT_ENABLE_HIGHDPI_SCALING",
                                           "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                                           "QT_FONT_DPI"};
        return all;
    }
    static void apply(const Variables& variables) {
        for (const QByteArray& name : names()) {
            if (variables.value(name).isEmpty())
                qunsetenv(name);
            else
                qputenv(name, variables.value(name));
        }
    }
    static Variables current() {
        Variables variables;
        for (const QByteArray& name : names())
            if (qEnvironmentVariableIsSet(name))
                variables[name] = qgetenv(name);
        return variables;
    }

  private slots:
    void launcherGetsX11InWholePixelsChildrenGetTheUsersValues_data() {
        QTest::addColumn<Variables>("user");
        QTest::addColumn<Variables>("forQt");
        const Variables x11{{"QT_QPA_PLATFORM", "xcb"}, {"QT_ENABLE_HIGHDPI_SCALING", "0"}};
        QTest::newRow("nothing set") << Variables{} << x11;
        QTest::newRow("Wayland first") << Variables{{"QT_QPA_PLATFORM", "wayland;xcb"}} << x11;
        Variables doubled = x11;
        doubled["QT_FONT_DPI"] = "192";
        QTest::newRow("scale factor 2")
            << Variables{{"QT_SCALE_FACTOR", "2"}, {"QT_SCREEN_SCALE_FACTORS", "DP-1=2"}}
            << doubled;
        Variables ownDpi = x11;
        ownDpi["QT_FONT_DPI"] = "120";
        QTest::newRow("font DPI of the user's")
            << Variables{{"QT_SCALE_FACTOR", "1.5"}, {"QT_FONT_DPI", "120"}} << ownDpi;
    }

    void launcherGetsX11InWholePixelsChildrenGetTheUsersValues() {
        QFETCH(Variables, user);
        QFETCH(Variables, forQt);
        apply(user);
        QtEnvironment environment;
        environment.prepareForLauncher();
        QCOMPARE(current(), forQt);
        environment.restoreForChildren();
        QCOMPARE(current(), user);
    }

    void noDisplayIsNoDisplay() {
        const std::optional<QByteArray> display =
            qEnvironmentVariableIsSet("DISPLAY") ? std::optional(qgetenv("DISPLAY")) : std::nullopt;
        qunsetenv("DISPLAY");
        QVERIFY(!QtEnvironment::xDisplayReachable());
        qputenv("DISPLAY", ":65000"); // no server there
        QVERIFY(!QtEnvironment::xDisplayReachable());
        display ? qputenv("DISPLAY", *display) : qunsetenv("DISPLAY");
    }
};

QTEST_GUILESS_MAIN(TestQtEnvironment)
#include "tst_qtenvironment.moc"
