#pragma once

#include "Platform.h"

#include <QWidget>

class QCloseEvent;
class QKeyEvent;
class QPushButton;
class RePlaceOnFrameChange;

// What the two dialogs beside the launcher share: their window, their
// placement, their messages and the way they hand the desktop back to the
// launcher when they close. They know the launcher only by the list path it
// gives them and the two signals it connects.

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

void placeTwips(QWidget* widget, const TwipsRect& rect);

QPushButton* addButton(QWidget* parent, const char* name, const QString& caption,
                       const TwipsRect& rect);

// A list or settings file holds one value per line, so a line end pasted
// into a box would split the value and shift every later one. Each line end
// becomes a space: the text stays what the user gave, on one line.
QString singleLine(QString text);

// A modeless top-level window with no owner, so the launcher stays usable
// beside it. It is deleted when it closes, so the next opening starts afresh.
class LauncherDialog : public QWidget {
    Q_OBJECT
  public:
    LauncherDialog(Platform& platform, const QString& caption, const QSize& clientTwips);

  signals:
    // "OK" and "閉じる": the launcher should take in what the dialog wrote.
    void launcherCloseRequested();
    // The dialog is closing, however it closes: the launcher comes back.
    void closing();

  protected:
    // Centred on the whole primary monitor by the window's outer size; computed again
    // once the window manager has framed the window.
    void centreOnScreen();

    // Enter presses the focused button; Escape closes the dialog as its
    // window's close button does.
    void keyPressEvent(QKeyEvent* event) override;

    // However the dialog closes, the launcher comes back into view: "OK" and
    // "閉じる" have just sent it to the tray to reload its list. The close
    // itself is never refused.
    void closeEvent(QCloseEvent* event) override;

    Platform& platform_;

  private:
    RePlaceOnFrameChange* placement_;
};
