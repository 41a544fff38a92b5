#include "LauncherDialog.h"

#include "Appearance.h"
#include "Keyboard.h"
#include "RePlaceOnFrameChange.h"
#include "Twips.h"
#include "WindowSize.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace {

int centred(int screenTwips, int windowTwips) {
    return qRound((screenTwips - windowTwips) / 2.0f);
}

} // namespace

void placeTwips(QWidget* widget, const TwipsRect& rect) {
    setGeometryTwips(widget, rect.left, rect.top, rect.width, rect.height);
}

QPushButton* addButton(QWidget* parent, const char* name, const QString& caption,
                       const TwipsRect& rect) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    placeTwips(button, rect);
    return button;
}

QString singleLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

LauncherDialog::LauncherDialog(Platform& platform, const QString& caption, const QSize& clientTwips)
    : platform_(platform), placement_(new RePlaceOnFrameChange(platform, this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setUpProgramWindow(this, caption);
    const qreal dpi = logicalDpiX();
    // The controls stand at fixed places, so the window keeps its size.
    setClientSize(this, QSize(twipsToPixels(clientTwips.width(), dpi),
                              twipsToPixels(clientTwips.height(), dpi)));
}

void LauncherDialog::centreOnScreen() {
    placement_->place([this] {
        const QRect screen = platform_.screenRectTwips();
        const QSize outer = platform_.outerSizeTwips(this);
        platform_.moveWindowTwips(this, screen.x() + centred(screen.width(), outer.width()),
                                  screen.y() + centred(screen.height(), outer.height()));
    });
}

void LauncherDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else if (!pressFocusedButton(this, event))
        QWidget::keyPressEvent(event);
}

void LauncherDialog::closeEvent(QCloseEvent* event) {
    emit closing();
    event->accept();
}
