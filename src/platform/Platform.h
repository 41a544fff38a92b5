#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

class QMenu;
class QWidget;

// How opening a target ended, as far as it is known at once: a launch that
// fails later brings its own message then.
enum class OpenResult { Opened, NotFound, NoHandler };

// The clicks on the tray icon the launcher answers: the right button's
// release over the icon, and a double-click (or a host's activation).
enum class TrayClick { RightButtonUp, DoubleClick };

// Which mouse buttons choose an item in a popup menu.
enum class MenuButtons { Left, Either };

// Everything the program's logic asks of the desktop. The program runs on
// QtPlatform; the tests run on a fake that records calls and answers the
// modal questions, so no test ever blocks on a modal window.
class Platform : public QObject {
    Q_OBJECT
  public:
    // A modal message with one OK button, under the program's title.
    virtual void showMessage(const QString& text) = 0;
    // A modal text prompt under the program's title; a cancel answers the
    // empty text.
    virtual QString askText(const QString& prompt) = 0;
    // The open-file dialog, over owner, for an existing file. start: the
    // folder to open in, or a file chosen before, whose folder it opens in
    // with the file's name filled in. Answers the chosen path, or nothing on
    // a cancel.
    virtual std::optional<QString> chooseFileToOpen(QWidget* owner, const QString& title,
                                                    const QStringList& nameFilters,
                                                    const QString& start) = 0;
    // Opens a target as the desktop shell's "open" does, without waiting for
    // any program. A failure that shows only later brings its message then,
    // while owner still stands. undecoded: the bytes that name the file
    // where they are not the text's UTF-8 (a name that does not decode, or
    // one kept under its code page 932 name); they name the file then.
    virtual OpenResult openTarget(QWidget* owner, const QString& target,
                                  const QByteArray& undecoded = {}) = 0;
    // The user picked something to open: load what opening takes, so the
    // run button answers at once.
    virtual void prepareToOpen() {}

    // Shows the program's icon in the tray for window, with the program's
    // title as its tip; a second call keeps the icon that is there. False
    // where the desktop has no tray. Its clicks come as trayIconClicked.
    virtual bool showTrayIcon(QWidget* window) = 0;
    // Takes the icon away, if it is there.
    virtual void hideTrayIcon() = 0;
    // The menu of the tray icon for hosts that draw the icon's menu
    // themselves; where the host only reports clicks, the window shows it.
    virtual void setTrayMenu(QMenu* menu) = 0;
    // Keeps the window above others; shows it.
    virtual void setTopmost(QWidget* window) = 0;
    // Shows a popup menu at the pointer, or with its top-left at the global
    // point given (a menu opened from the keyboard).
    virtual void popupMenu(QMenu* menu, MenuButtons choosing = MenuButtons::Left,
                           std::optional<QPoint> at = {}) = 0;

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

  Q_SIGNALS:
    // Emitted from the event loop, never inside the icon's own event: the
    // answer may take the icon away, and with it the widget whose handler
    // would still be running.
    void trayIconClicked(TrayClick click);
};
