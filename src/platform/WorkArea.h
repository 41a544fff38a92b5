#pragma once

#include <QAbstractNativeEventFilter>
#include <QEvent>
#include <QList>
#include <QObject>
#include <QRect>
#include <QSet>
#include <array>

// Posted to a shown top-level window that sits flush in a corner of the
// primary monitor's work area when that area changes (a panel started,
// moved, grew or went away), and to each hidden one, whose frame is gone:
// where it stood when hidden decides (RePlaceOnFrameChange). The window can
// then move to the corner of the new area, as the corner commands place it.
class WorkAreaChangeEvent : public QEvent {
  public:
    static QEvent::Type eventType() {
        static const int type = QEvent::registerEventType();
        return static_cast<QEvent::Type>(type);
    }
    explicit WorkAreaChangeEvent(QRect from = {}, QRect to = {})
        : QEvent(eventType()), before(from), after(to) {}
    const QRect before, after;
};

// Whether the frame stands flush with a corner of either area, along both
// axes: the window manager may have pushed it off a new panel already.
bool flushInCorner(const QRect& frame, const QRect& before, const QRect& after);

// One window's _NET_WM_STRUT_PARTIAL: the space it reserves at each edge of
// the whole desktop (left, right, top, bottom), then the start and end of
// each band along its edge.
using Strut = std::array<quint32, 12>;

// What is left of the monitor beside the bands the struts reserve; a band
// that does not reach into the monitor takes nothing from it.
QRect areaBesideStruts(const QRect& monitor, const QSize& desktop, const QList<Strut>& struts);

// The part of the primary monitor that the desktop's panels leave free, in
// pixels, as the desktop publishes it: per monitor where it does
// (_GTK_WORKAREAS_Dn), otherwise from the panels' struts; _NET_WORKAREA, one
// rectangle for the whole desktop, only where there is one monitor.
// Property changes on the root and on the windows that reserve space come
// through Qt's own X connection; nothing waits on another program.
class WorkArea : public QObject, public QAbstractNativeEventFilter {
  public:
    explicit WorkArea(QObject* parent = nullptr);
    ~WorkArea() override;

    QRect primary();

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

  private:
    QRect fromX11(const QRect& monitor);
    QList<quint32> cardinals(quint32 window, quint32 property);
    QList<quint32> topWindows();
    QList<Strut> struts(const QList<quint32>& windows);
    void watch(quint32 window);
    void checkSoon();
    void check();

    void* connection_ = nullptr;
    quint32 root_ = 0;
    QSet<quint32> watched_;
    QSet<quint32> atoms_;
    QRect last_;
    bool checkPending_ = false;
};
