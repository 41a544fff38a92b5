#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWindow>
#include <functional>

class Platform;
class QWidget;

// Runs a window's placement again when its outer size changes under it. On
// X11 the frame is known only after the window manager has framed the window,
// so a corner or centre computed before that spills past the screen's edge
// by the frame's size. A user dragging the window changes no size, so the
// window is never pulled back.
class RePlaceOnFrameChange : public QObject {
  public:
    RePlaceOnFrameChange(Platform& platform, QWidget* window);

    // Runs place now and again whenever the window's outer size changes.
    void place(std::function<void()> placement);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void watchNativeWindow();

    Platform& platform_;
    QPointer<QWindow> watchedNative_;
    QWidget* window_;
    std::function<void()> placement_;
    QSize placedOuterSize_;
};
