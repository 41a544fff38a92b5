// Writes the program's icon as PNG files for the desktop's hicolor icon
// theme, drawn by the same code as the windows' icon:
//   tovlan-icons <folder> <size>...   ->  <folder>/<size>.png
#include "Appearance.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    // Drawing needs no screen; the offscreen platform keeps a build machine
    // without a display working.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 3) {
        std::fputs("usage: tovlan-icons <folder> <size>...\n", stderr);
        return 2;
    }
    const QDir folder(arguments[1]);
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "tovlan-icons: cannot create %s\n", qPrintable(arguments[1]));
        return 1;
    }
    for (const QString& argument : arguments.mid(2)) {
        bool ok = false;
        const int size = argument.toInt(&ok);
        const QString path = folder.filePath(argument + QStringLiteral(".png"));
        if (!ok || size < 1 || !programIconImage(size).save(path, "PNG")) {
            std::fprintf(stderr, "tovlan-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
