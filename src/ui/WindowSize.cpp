#include "WindowSize.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

// Hands the size to the native window each time the widget is shown: the
// native window may have been made anew (a change of window flags does).
class SizeForWindowManager : public QObject {
  public:
    SizeForWindowManager(QWidget* window, QSize size) : QObject(window), size_(size) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        QWindow* native = static_cast<QWidget*>(watched)->windowHandle();
        if (event->type() == QEvent::Show && native && native->maximumSize() != size_) {
            native->setMinimumSize(size_);
            native->setMaximumSize(size_);
        }
        return false;
    }

  private:
    QSize size_;
};

} // namespace

void setClientSize(QWidget* window, QSize size) {
    window->resize(size);
    window->installEventFilter(new SizeForWindowManager(window, size));
}
