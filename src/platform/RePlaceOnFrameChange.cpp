#include "RePlaceOnFrameChange.h"

#include "Platform.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

RePlaceOnFrameChange::RePlaceOnFrameChange(Platform& platform, QWidget* window)
    : QObject(window), platform_(platform), window_(window) {
    window->installEventFilter(this);
}

void RePlaceOnFrameChange::place(std::function<void()> placement) {
    watchNativeWindow();
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
    const auto type = event->type();
    if (type == QEvent::Show)
        watchNativeWindow();
    const bool geometryMayHaveChanged = type == QEvent::Move || type == QEvent::Resize ||
                                        type == QEvent::Show || type == QEvent::Expose;
    const bool ours = watched == window_ || watched == watchedNative_;
    if (ours && placement_ && geometryMayHaveChanged) {
        const QSize outer = platform_.outerSizeTwips(window_);
        if (outer != placedOuterSize_) {
            placedOuterSize_ = outer;
            placement_();
        }
    }
    return false;
}
