#pragma once

#include "Appearance.h"
#include "Keyboard.h"
#include "Platform.h"
#include "RePlaceOnFrameChange.h"
#include "Twips.h"
#include "WindowSize.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QWidget>

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

inline void placeTwips(QWidget* widget, const TwipsRect& rect) {
    setGeometryTwips(widget, rect.left, rect.top, rect.width, rect.height);
}

inline QPushButton* addButton(QWidget* parent, const char* name, const QString& caption,
                              const TwipsRect& rect) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    placeTwips(button, rect);
    return button;
}

// A list or settings file holds one value per line, so a line end pasted
// into a box would split the value and shift every later one. Each line end
// becomes a space: the text stays what the user gave, on one line.
inline QString singleLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

// A modeless top-level window with no owner, so the launcher stays usable
// beside it. It is deleted when it closes, so the next opening starts afresh.
class LauncherDialog : public QWidget {
    Q_OBJECT
  public:
    LauncherDialog(Platform& platform, const QString& caption, const QSize& clientTwips)
        : platform_(platform), placement_(new RePlaceOnFrameChange(platform, this)) {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                       Qt::WindowCloseButtonHint);
        setWindowTitle(caption);
        setAccessibleName(caption);
        setWindowIcon(programIcon());
        setFont(programFont(9));
        const qreal dpi = logicalDpiX();
        // The controls stand at fixed places, so the window keeps its size.
        setClientSize(this, QSize(twipsToPixels(clientTwips.width(), dpi),
                                  twipsToPixels(clientTwips.height(), dpi)));
    }

  signals:
    // "OK" and "閉じる": the launcher should take in what the dialog wrote.
    void launcherCloseRequested();
    // The dialog is closing, however it closes: the launcher comes back.
    void closing();

  protected:
    // Centred on the whole primary monitor by the window's outer size; computed again
    // once the window manager has framed the window.
    void centreOnScreen() {
        placement_->place([this] {
            const QRect screen = platform_.screenRectTwips();
            const QSize outer = platform_.outerSizeTwips(this);
            platform_.moveWindowTwips(this, screen.x() + centred(screen.width(), outer.width()),
                                      screen.y() + centred(screen.height(), outer.height()));
        });
    }

    void showMessage(const QString& text) { platform_.messageBox(text, 0, Texts::Title); }

    // Enter presses the focused button; Escape closes the dialog as its
    // window's close button does.
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
            close();
        else if (!pressFocusedButton(this, event))
            QWidget::keyPressEvent(event);
    }

    // However the dialog closes, the launcher comes back into view: "OK" and
    // "閉じる" have just sent it to the tray to reload its list. The close
    // itself is never refused.
    void closeEvent(QCloseEvent* event) override {
        emit closing();
        event->accept();
    }

    Platform& platform_;

  private:
    static int centred(int screenTwips, int windowTwips) {
        return qRound((screenTwips - windowTwips) / 2.0f);
    }

    RePlaceOnFrameChange* placement_;
};
