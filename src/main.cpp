#include "Appearance.h"
#include "Form1.h"
#include "QtEnvironment.h"
#include "QtPlatform.h"
#include "QtTexts.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (!QtEnvironment::xDisplayReachable()) {
        std::fputs("Tovlan: 画面がありません (X の DISPLAY に繋がりません。Wayland では XWayland "
                   "が要ります)\n",
                   stderr);
        return EXIT_FAILURE;
    }
    QtEnvironment environment;
    environment.prepareForLauncher();
    QApplication app(argc, argv);
    environment.restoreForChildren();
    QApplication::setApplicationName(QStringLiteral("Tovlan"));
    installFontSubstitutions();
    installJapaneseQtTexts();

    QtPlatform platform;
    Form1 launcher(platform);
    // Message boxes, the input box and the open-file dialog carry its icon too.
    QApplication::setWindowIcon(launcher.windowIcon());
    launcher.Form_Load();
    return app.exec();
}
