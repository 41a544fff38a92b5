#include "Appearance.h"
#include "Form1.h"
#include "QtEnvironment.h"
#include "QtPlatform.h"
#include "QtTexts.h"
#include "SafeWrite.h"
#include "Texts.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    // Settings of the whole process, before any thread starts.
    prepareProcessForWrites();
    if (!QtEnvironment::xDisplayReachable()) {
        const QString line = Texts::Title + QStringLiteral(": ") + Texts::NoDisplay + u'\n';
        std::fputs(line.toUtf8().constData(), stderr);
        return EXIT_FAILURE;
    }
    QtEnvironment environment;
    environment.prepareForLauncher();
    QApplication app(argc, argv);
    environment.restoreForChildren();
    QApplication::setApplicationName(Texts::Title);
    installFontSubstitutions();
    installJapaneseQtTexts();

    QtPlatform platform;
    Form1 launcher(platform);
    // Message boxes, the input box and the open-file dialog carry its icon too.
    QApplication::setWindowIcon(launcher.windowIcon());
    launcher.Form_Load();
    return app.exec();
}
