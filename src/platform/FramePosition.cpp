#include "FramePosition.h"

#include <QEvent>
#include <QMoveEvent>
#include <QWindow>

namespace {

// Learnt once per process: the window manager is the same for every window.
bool clientLandsAtFramePoint = false;

QPoint clientOffset(const QWindow& window) {
    const QMargins frame = window.frameMargins();
    return {frame.left(), frame.top()};
}

// Watches where the window manager puts the window after a request. Its own
// answer says where the client stands; an older answer still queued cannot
// put the client at the asked point, as a window manager that honours the
// gravity never puts it there.
class FrameLanding : public QObject {
  public:
    explicit FrameLanding(QWindow* window) : QObject(window), window_(window) {
        window->installEventFilter(this);
    }

    void ask(QPoint frame) {
        asked_ = frame;
        waiting_ = !clientLandsAtFramePoint;
        window_->setFramePosition(frame +
                                  (clientLandsAtFramePoint ? clientOffset(*window_) : QPoint()));
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Move || !waiting_)
            return false;
        const QPoint client = static_cast<QMoveEvent*>(event)->pos();
        const QPoint offset = clientOffset(*window_);
        if (client == asked_ + offset) {
            waiting_ = false;
        } else if (client == asked_ && !offset.isNull()) {
            clientLandsAtFramePoint = true;
            ask(asked_);
        }
        return false;
    }

  private:
    QWindow* window_;
    QPoint asked_;
    bool waiting_ = false;
};

} // namespace

void moveFrameTo(QWindow* window, QPoint frame) {
    auto* landing = window->findChild<FrameLanding*>(QString(), Qt::FindDirectChildrenOnly);
    if (!landing)
        landing = new FrameLanding(window);
    landing->ask(frame);
}
