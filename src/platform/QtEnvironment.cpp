#include "QtEnvironment.h"

#include <QString>
#include <QtGlobal>
#include <xcb/xcb.h>

bool QtEnvironment::xDisplayReachable() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    // Qt aborts when it cannot connect; ask first, so the user gets a
    // sentence instead of a core dump.
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

void QtEnvironment::prepareForLauncher() {
    set("QT_QPA_PLATFORM", "xcb");
    set("QT_ENABLE_HIGHDPI_SCALING", "0");
    // A scale factor the user asked for becomes a font DPI: text and every
    // twips length grow by it, while positions stay in whole pixels.
    bool isNumber = false;
    const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&isNumber);
    if (isNumber && factor > 0 && qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        set("QT_FONT_DPI", QByteArray::number(qRound(96 * factor)));
    unset("QT_SCALE_FACTOR");
    unset("QT_SCREEN_SCALE_FACTORS");
    unset("QT_NO_GLIB");
}

void QtEnvironment::restoreForChildren() {
    for (const Saved& variable : saved_) {
        if (variable.wasSet)
            qputenv(variable.name, variable.value);
        else
            qunsetenv(variable.name);
    }
    saved_.clear();
}

void QtEnvironment::set(const char* name, const QByteArray& value) {
    remember(name);
    qputenv(name, value);
}

void QtEnvironment::unset(const char* name) {
    remember(name);
    qunsetenv(name);
}

void QtEnvironment::remember(const char* name) {
    saved_.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
}
