#include "RePlaceOnFrameChange.h"

#include "Platform.h"

#include <QEvent>
#include <QWidget>

RePlaceOnFrameChange::RePlaceOnFrameChange(Platform& platform, QWidget* window)
    : QObject(window), platform_(platform), window_(window) {
    window->installEventFilter(this);
}

void RePlaceOnFrameChange::place(std::function<void()> placement) {
    placement_ = std::move(placement);
    placedOuterSize_ = platform_.outerSizeTwips(window_);
    placement_();
}

bool RePlaceOnFrameChange::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    const bool geometryMayHaveChanged =
        type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show;
    if (watched == window_ && placement_ && geometryMayHaveChanged) {
        const QSize outer = platform_.outerSizeTwips(window_);
        if (outer != placedOuterSize_) {
            placedOuterSize_ = outer;
            placement_();
        }
    }
    return false;
}
