#include "WorkArea.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QHash>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

xcb_connection_t* x11Connection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

quint32 internAtom(xcb_connection_t* c, const QByteArray& name) {
    static QHash<QByteArray, quint32> known;
    if (const auto found = known.constFind(name); found != known.cend())
        return *found;
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, name.size(), name.constData()), nullptr));
    return reply ? known[name] = reply->atom : quint32(XCB_ATOM_NONE);
}

} // namespace

bool flushInCorner(const QRect& frame, const QRect& before, const QRect& after) {
    const auto touches = [](int edge, int a, int b) { return edge == a || edge == b; };
    return (touches(frame.left(), before.left(), after.left()) ||
            touches(frame.right(), before.right(), after.right())) &&
           (touches(frame.top(), before.top(), after.top()) ||
            touches(frame.bottom(), before.bottom(), after.bottom()));
}

QRect areaBesideStruts(const QRect& monitor, const QSize& desktop, const QList<Strut>& struts) {
    QRect area = monitor;
    const int w = desktop.width(), h = desktop.height();
    for (const Strut& s : struts) {
        const auto span = [](quint32 start, quint32 end) { return int(end) - int(start) + 1; };
        const auto reaches = [&](int x, int y, int width, int height) {
            return width > 0 && height > 0 && QRect(x, y, width, height).intersects(monitor);
        };
        if (reaches(0, int(s[4]), int(s[0]), span(s[4], s[5])))
            area.setLeft(std::max(area.left(), int(s[0])));
        if (reaches(w - int(s[1]), int(s[6]), int(s[1]), span(s[6], s[7])))
            area.setRight(std::min(area.right(), w - int(s[1]) - 1));
        if (reaches(int(s[8]), 0, span(s[8], s[9]), int(s[2])))
            area.setTop(std::max(area.top(), int(s[2])));
        if (reaches(int(s[10]), h - int(s[3]), span(s[10], s[11]), int(s[3])))
            area.setBottom(std::min(area.bottom(), h - int(s[3]) - 1));
    }
    return area;
}

WorkArea::WorkArea(QObject* parent) : QObject(parent) {
    auto* c = x11Connection();
    if (!c)
        return;
    connection_ = c;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    for (const char* name : {"_NET_WORKAREA", "_NET_CURRENT_DESKTOP", "_NET_CLIENT_LIST",
                             "_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT"})
        atoms_.insert(internAtom(c, name));
    watch(root_);
    QAbstractEventDispatcher::instance()->installNativeEventFilter(this);
}

WorkArea::~WorkArea() {
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->removeNativeEventFilter(this);
}

QRect WorkArea::primary() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    last_ = connection_ ? fromX11(screen->geometry()) : screen->availableGeometry();
    return last_;
}

QRect WorkArea::fromX11(const QRect& monitor) {
    auto* c = static_cast<xcb_connection_t*>(connection_);
    const QList<quint32> desktop = cardinals(root_, internAtom(c, "_NET_CURRENT_DESKTOP"));
    const quint32 current = desktop.isEmpty() ? 0 : desktop.first();
    const quint32 gtkAreas = internAtom(c, "_GTK_WORKAREAS_D" + QByteArray::number(current));
    atoms_.insert(gtkAreas);
    // The rectangle that covers most of the monitor is the monitor's.
    const QList<quint32> perMonitor = cardinals(root_, gtkAreas);
    QRect best;
    for (qsizetype i = 0; i + 3 < perMonitor.size(); i += 4) {
        const QRect area =
            QRect(perMonitor[i], perMonitor[i + 1], perMonitor[i + 2], perMonitor[i + 3])
                .intersected(monitor);
        if (area.width() * area.height() > best.width() * best.height())
            best = area;
    }
    if (!best.isEmpty())
        return best;
    const QList<quint32> whole = cardinals(root_, internAtom(c, "_NET_WORKAREA"));
    if (QGuiApplication::screens().size() == 1 && whole.size() >= 4 * qsizetype(current + 1)) {
        const quint32* a = whole.constData() + 4 * current;
        const QRect area = QRect(a[0], a[1], a[2], a[3]).intersected(monitor);
        if (!area.isEmpty())
            return area;
    }
    const QSize root = QGuiApplication::primaryScreen()->virtualGeometry().size();
    const QList<quint32> clients = cardinals(root_, internAtom(c, "_NET_CLIENT_LIST"));
    return areaBesideStruts(monitor, root, struts(clients + topWindows()));
}

// The windows on the root and those one level down, inside the frames a
// window manager puts around them: i3 frames its bar and lists it among no
// clients.
QList<quint32> WorkArea::topWindows() {
    auto* c = static_cast<xcb_connection_t*>(connection_);
    const auto children = [c](xcb_query_tree_cookie_t cookie) {
        const Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, cookie, nullptr));
        const xcb_window_t* first = tree ? xcb_query_tree_children(tree.get()) : nullptr;
        return QList<quint32>(first,
                              first ? first + xcb_query_tree_children_length(tree.get()) : nullptr);
    };
    QList<quint32> windows = children(xcb_query_tree(c, root_));
    QList<xcb_query_tree_cookie_t> below;
    for (quint32 window : std::as_const(windows))
        below << xcb_query_tree(c, window);
    for (xcb_query_tree_cookie_t cookie : below)
        windows << children(cookie);
    return windows;
}

QList<quint32> WorkArea::cardinals(quint32 window, quint32 property) {
    auto* c = static_cast<xcb_connection_t*>(connection_);
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_ATOM_ANY, 0, 1024), nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto* values = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
    return QList<quint32>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

// Each window's strut, the partial one where it has one; the requests go
// out together, so the server answers them in one round.
QList<Strut> WorkArea::struts(const QList<quint32>& windows) {
    auto* c = static_cast<xcb_connection_t*>(connection_);
    const quint32 partial = internAtom(c, "_NET_WM_STRUT_PARTIAL");
    const quint32 plain = internAtom(c, "_NET_WM_STRUT");
    QList<xcb_get_property_cookie_t> cookies;
    for (quint32 window : windows) {
        cookies << xcb_get_property(c, 0, window, partial, XCB_ATOM_CARDINAL, 0, 12)
                << xcb_get_property(c, 0, window, plain, XCB_ATOM_CARDINAL, 0, 4);
    }
    QList<Strut> found;
    for (qsizetype i = 0; i < cookies.size(); i += 2) {
        const Reply<xcb_get_property_reply_t> first(xcb_get_property_reply(c, cookies[i], nullptr));
        const Reply<xcb_get_property_reply_t> second(
            xcb_get_property_reply(c, cookies[i + 1], nullptr));
        const auto count = [](const auto& r) {
            return r && r->format == 32 ? xcb_get_property_value_length(r.get()) / 4 : 0;
        };
        // A plain strut reserves its edges along their whole length.
        Strut s{0, 0, 0, 0, 0, 0xffff, 0, 0xffff, 0, 0xffff, 0, 0xffff};
        const auto& reply = count(first) == 12 ? first : second;
        const int n = count(reply);
        if (n != 12 && n != 4)
            continue;
        std::copy_n(static_cast<const quint32*>(xcb_get_property_value(reply.get())), n, s.begin());
        found << s;
        watch(windows[i / 2]);
    }
    return found;
}

// Adds property changes to what this client hears from the window, keeping
// whatever Qt asked for on it.
void WorkArea::watch(quint32 window) {
    if (watched_.contains(window))
        return;
    watched_.insert(window);
    auto* c = static_cast<xcb_connection_t*>(connection_);
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    if (!attributes)
        return;
    const quint32 mask = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
}

bool WorkArea::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
        atoms_.contains(reinterpret_cast<const xcb_property_notify_event_t*>(event)->atom))
        checkSoon();
    return false;
}

// A panel changes several properties at once; one look after them is enough.
void WorkArea::checkSoon() {
    if (std::exchange(checkPending_, true))
        return;
    QTimer::singleShot(0, this, [this] {
        checkPending_ = false;
        check();
    });
}

void WorkArea::check() {
    const QRect before = last_;
    const QRect after = primary();
    if (after == before || before.isEmpty())
        return;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        // The native window's frame: the widget's own is stale after a
        // placement the window manager framed in place.
        const QWindow* native = window->windowHandle();
        if (native && window->windowType() == Qt::Window &&
            (!window->isVisible() || flushInCorner(native->frameGeometry(), before, after)))
            QCoreApplication::postEvent(window, new WorkAreaChangeEvent(before, after));
    }
}
