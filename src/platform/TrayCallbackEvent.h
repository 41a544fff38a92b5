#pragma once

#include <QEvent>

// How the tray layer hands an icon's notification to the window the record
// names: the record's callback message number and the notification code
// (517 right-button release, 515 left double-click).
class TrayCallbackEvent : public QEvent {
  public:
    static QEvent::Type eventType() {
        static const int type = QEvent::registerEventType();
        return static_cast<QEvent::Type>(type);
    }
    TrayCallbackEvent(quint32 callbackMessage, qintptr code)
        : QEvent(eventType()), message(callbackMessage), lParam(code) {}
    const quint32 message;
    const qintptr lParam;
};
