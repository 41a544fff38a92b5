#include "Appearance.h"
#include "Form1.h"
#include "QtPlatform.h"
#include "QtTexts.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

namespace {

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// Wayland lets no client place itself in a screen corner or stay on top, so
// run through XWayland unless the user chose a platform.
// Answers whether it chose, so the choice can be taken back once Qt has
// read it: programs the launcher starts must pick their own platform.
bool preferX11OnWayland() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (!hasDisplay()) {
        std::fputs("Tovlan: 画面がありません (DISPLAY も WAYLAND_DISPLAY も設定されていません)\n",
                   stderr);
        return EXIT_FAILURE;
    }
    const bool choseX11 = preferX11OnWayland();

    QApplication app(argc, argv);
    if (choseX11)
        qunsetenv("QT_QPA_PLATFORM");
    QApplication::setApplicationName(QStringLiteral("Tovlan"));
    // The launcher hides into the tray; closing a dialog then must not end
    // the program. Only the two quit commands do.
    QApplication::setQuitOnLastWindowClosed(false);
    installFontSubstitutions();
    installJapaneseQtTexts();

    QtPlatform platform;
    Form1 launcher(platform);
    // Message boxes, the input box and the open-file dialog carry its icon too.
    QApplication::setWindowIcon(launcher.windowIcon());
    launcher.Form_Load();
    return app.exec();
}
