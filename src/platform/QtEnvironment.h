#pragma once

#include <QByteArray>
#include <vector>

// The X display the launcher needs, and the variables it sets for Qt alone.
//
// The launcher must run as an X11 client: only there can a window place
// itself in a screen corner and stay above others (a Wayland compositor
// decides both itself), so it goes through XWayland whatever
// QT_QPA_PLATFORM says. It also lays itself out in whole device pixels:
// under Qt's own scaling a 1 px frame border becomes half a logical pixel,
// and a window placed in logical pixels misses the screen's edge by one. The
// screen's DPI scales the layout instead, since every length is in twips.
// And it keeps Qt on GLib's event loop (QT_NO_GLIB unset): GIO hands every
// launch of a document, folder, URL or desktop entry to GLib's main context,
// which only that loop runs.
class QtEnvironment {
  public:
    // True when DISPLAY names an X server that accepts a connection.
    static bool xDisplayReachable();

    // Sets the variables; call before the application object exists.
    void prepareForLauncher();
    // Gives back the user's values once Qt has read them: the programs the
    // launcher starts choose their own platform and scaling. Qt reads
    // QT_FONT_DPI once, as the application object sets up its screens (Qt 6.4
    // and 6.8; no public API sets a font DPI); the end-to-end row with
    // QT_SCALE_FACTOR=2 fails if a Qt ever reads it later.
    void restoreForChildren();

  private:
    struct Saved {
        const char* name;
        bool wasSet;
        QByteArray value;
    };
    void set(const char* name, const QByteArray& value);
    void unset(const char* name);
    void remember(const char* name);

    std::vector<Saved> saved_;
};
