#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWindow>
#include <functional>
#include <optional>

class Platform;
class QWidget;

// Runs a window's placement again when its outer size changes under it. On
// X11 the frame is known only after the window manager has framed the window,
// so a corner or centre computed before that spills past the screen's edge
// by the frame's size. A user dragging the window changes no size, so the
// window is never pulled back.
//
// It also keeps a hidden window where it was when it is shown again: a hide
// and a show in quick succession race the window manager's unframing, and
// the window can come back shifted by its border. A hidden window that stood
// in a corner hears of a change of the work area; one put elsewhere does not.
class RePlaceOnFrameChange : public QObject {
  public:
    RePlaceOnFrameChange(Platform& platform, QWidget* window);

    // Runs place now and again whenever the window's outer size changes.
    void place(std::function<void()> placement);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void watchNativeWindow();
    void placeAgainIfFrameChanged();
    void keepPositionAcrossHide(QEvent::Type type);

    Platform& platform_;
    QPointer<QWindow> watchedNative_;
    QWidget* window_;
    std::function<void()> placement_;
    QSize placedOuterSize_;
    std::optional<QPoint> positionAtHide_;
    QSize sizeAtHide_;
    QRect frameAtHide_;
    bool placedAtHide_ = false;
    QDeadlineTimer keepPositionUntil_;
};
