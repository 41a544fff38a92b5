#include "RePlaceOnFrameChange.h"

#include "FramePosition.h"
#include "Platform.h"
#include "WorkArea.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

RePlaceOnFrameChange::RePlaceOnFrameChange(Platform& platform, QWidget* window)
    : QObject(window), platform_(platform), window_(window) {
    window->installEventFilter(this);
}

void RePlaceOnFrameChange::place(std::function<void()> placement) {
    watchNativeWindow();
    // Placed while hidden (the work area changed meanwhile): shown again
    // where it was placed, not where it was hidden.
    if (!window_->isVisible())
        positionAtHide_.reset();
    placement_ = std::move(placement);
    placedOuterSize_ = platform_.outerSizeTwips(window_);
    placement_();
}

// The window manager announces the frame before it maps the window, and Qt
// passes no widget event for that; the first expose of the framed window is
// the moment its frame is known.
void RePlaceOnFrameChange::watchNativeWindow() {
    QWindow* native = window_->windowHandle();
    if (native && native != watchedNative_) {
        native->installEventFilter(this);
        watchedNative_ = native;
    }
}

bool RePlaceOnFrameChange::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ && watched != watchedNative_)
        return false;
    const auto type = event->type();
    if (type == QEvent::Show)
        watchNativeWindow();
    // The window manager takes the frame away once the window is hidden.
    if (type == QEvent::Hide && watched == watchedNative_) {
        frameAtHide_ = watchedNative_->frameGeometry();
        placedAtHide_ = askedFramePosition(watchedNative_) == frameAtHide_.topLeft();
    }
    if (type == WorkAreaChangeEvent::eventType() && !window_->isVisible()) {
        const auto* change = static_cast<const WorkAreaChangeEvent*>(event);
        return !flushInCorner(frameAtHide_, change->before, change->after);
    }
    keepPositionAcrossHide(type);
    const bool geometryMayHaveChanged = type == QEvent::Move || type == QEvent::Resize ||
                                        type == QEvent::Show || type == QEvent::Expose;
    if (placement_ && geometryMayHaveChanged)
        placeAgainIfFrameChanged();
    return false;
}

void RePlaceOnFrameChange::placeAgainIfFrameChanged() {
    const QSize outer = platform_.outerSizeTwips(window_);
    if (outer != placedOuterSize_) {
        placedOuterSize_ = outer;
        placement_();
    }
}

// A window manager may also give the window shown again another size (i3
// its minimum floating height): one that stood where it was placed is then
// placed again for that size, not kept at its old top-left.
void RePlaceOnFrameChange::keepPositionAcrossHide(QEvent::Type type) {
    // Long enough for the window manager to settle, short enough that a drag
    // by the user right after the window came back is left alone.
    constexpr int SettleMs = 1500;
    if (type == QEvent::Hide) {
        positionAtHide_ = window_->pos();
        sizeAtHide_ = window_->size();
    } else if (type == QEvent::Show && positionAtHide_) {
        keepPositionUntil_ = QDeadlineTimer(SettleMs);
    } else if ((type == QEvent::Move || type == QEvent::Expose) && positionAtHide_ &&
               !keepPositionUntil_.hasExpired() && window_->pos() != *positionAtHide_ &&
               !(placedAtHide_ && window_->size() != sizeAtHide_)) {
        window_->move(*positionAtHide_);
    }
}
