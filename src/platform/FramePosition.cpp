#include "FramePosition.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWindow>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace {

// Learnt once per process: the window manager is the same for every window.
bool clientLandsAtFramePoint = false;

QPoint clientOffset(const QWindow& window) {
    const QMargins frame = window.frameMargins();
    return {frame.left(), frame.top()};
}

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

// Where the client stands on the screen now, asked of the X server, if the
// window manager has put it in a frame. The Move events Qt delivers may be
// older than that, from a moment the window stood unframed.
std::optional<QPoint> framedClientPosition(const QWindow& window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return std::nullopt;
    xcb_connection_t* c = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const auto treeCookie = xcb_query_tree(c, id);
    const auto placeCookie = xcb_translate_coordinates(c, id, root, 0, 0);
    const Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, treeCookie, nullptr));
    const Reply<xcb_translate_coordinates_reply_t> place(
        xcb_translate_coordinates_reply(c, placeCookie, nullptr));
    if (!tree || !place || tree->parent == tree->root)
        return std::nullopt;
    return QPoint(place->dst_x, place->dst_y);
}

// Watches where the window manager puts the framed window after a request,
// until the window is first hidden: one that honours the window's gravity
// never puts the client at the point asked for the frame, but a window shown
// again races the window manager's unframing and framing.
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

    QPoint asked() const { return asked_; }

    bool eventFilter(QObject*, QEvent* event) override {
        hidden_ = hidden_ || event->type() == QEvent::Hide;
        if (event->type() != QEvent::Move || !waiting_ || hidden_)
            return false;
        const std::optional<QPoint> client = framedClientPosition(*window_);
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
    bool hidden_ = false;
};

FrameLanding* landingOf(const QWindow* window) {
    for (QObject* child : window->children())
        if (auto* landing = dynamic_cast<FrameLanding*>(child))
            return landing;
    return nullptr;
}

} // namespace

void moveFrameTo(QWindow* window, QPoint frame) {
    FrameLanding* landing = landingOf(window);
    if (!landing)
        landing = new FrameLanding(window);
    landing->ask(frame);
}

std::optional<QPoint> askedFramePosition(const QWindow* window) {
    const FrameLanding* landing = landingOf(window);
    return landing ? std::optional(landing->asked()) : std::nullopt;
}
