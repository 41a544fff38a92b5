#pragma once

#include "Texts.h"
#include "Win32Records.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

class QMenu;
class QWidget;

// Everything the program's logic asks of the desktop. The program runs on
// QtPlatform; the tests run on a fake that records calls and answers the
// modal questions, so no test ever blocks on a modal window.
class Platform {
  public:
    virtual ~Platform() = default;

    // Modal message with one OK button; style 0 means no icon.
    virtual void messageBox(const QString& prompt, int style = 0,
                            const QString& title = Texts::Title) = 0;
    // Modal text prompt; a cancel answers the empty text.
    virtual QString inputBox(const QString& prompt, const QString& title = Texts::Title) = 0;
    // The open-file dialog on the record; true when the user chose a file.
    virtual bool getOpenFileName(OPENFILENAME& record) = 0;
    // Opens a target as the desktop shell's "open" does, without waiting for
    // any program. Answers a number in the shell's convention: above 32
    // success, 2 not found, 31 no handler; a failure that shows only later
    // brings its own message then. undecoded: the bytes that name the file
    // where they are not the text's UTF-8 (a name that does not decode, or
    // one kept under its code page 932 name); they name the file then.
    virtual int shellExecute(QWidget* owner, const QString& operation, const QString& file,
                             const QByteArray& undecoded = {}) = 0;
    // The user picked something to open: load what opening takes, so the
    // run button answers at once.
    virtual void prepareShellExecute() {}
    // Adds (NIM_ADD) or removes (NIM_DELETE) the tray icon the record names.
    virtual bool shellNotifyIcon(quint32 message, const NOTIFYICONDATA& data) = 0;
    // The menu of the tray icon for hosts that draw the icon's menu
    // themselves; where the host only reports clicks, the window shows it.
    virtual void setTrayMenu(QMenu* menu) = 0;
    // Keeps the window above others; shows it.
    virtual void setTopmost(QWidget* window) = 0;
    // Shows a popup menu at the pointer, or with its top-left at the global
    // point given (a menu opened from the keyboard); flags 2 lets either
    // button choose.
    virtual void popupMenu(QMenu* menu, int flags = 0, std::optional<QPoint> at = {}) = 0;

    // The primary monitor's work area on the whole desktop: the part its
    // panels leave free. A window flush in a corner of it hears of a change
    // through a WorkAreaChangeEvent.
    virtual QRect screenRectTwips() = 0;
    virtual QSize outerSizeTwips(QWidget* window) = 0;
    // Moves a window so that its outer frame's top-left lands at (left, top).
    virtual void moveWindowTwips(QWidget* window, int left, int top) = 0;

    // The program's folder, without a trailing separator.
    virtual QString appPath() = 0;
    // The user's own folder for the settings when the program's folder is
    // read-only: $XDG_CONFIG_HOME/tovlan, which may not exist yet.
    virtual QString userSettingsFolder() = 0;
    // Ends the program at once: no close handler runs.
    virtual void endProgram() = 0;
};
