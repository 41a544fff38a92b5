#include "Appearance.h"

#include "Texts.h"

#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace {
const QString ProgramFontFamily = QStringLiteral("ＭＳ ゴシック");

// The family programFont() asks Qt for: "ＭＳ ゴシック" itself until
// installFontSubstitutions() has found the font that stands in for it.
QString& requestedFamily() {
    static QString family = ProgramFontFamily;
    return family;
}
} // namespace

// A rocket leaving a folder: what a launcher does, readable at 16 pixels.
QImage programIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    p.setPen(QPen(QColor(0x8a, 0x5a, 0x00), 1));
    p.setBrush(QColor(0xf4, 0xc2, 0x42));
    p.drawRoundedRect(QRectF(2.5, 14.5, 27, 15), 2, 2);
    p.drawRoundedRect(QRectF(2.5, 11.5, 11, 5), 1.5, 1.5);

    QPainterPath rocket;
    rocket.moveTo(20, 2);
    rocket.cubicTo(25, 6, 25, 14, 23, 19);
    rocket.lineTo(17, 19);
    rocket.cubicTo(15, 14, 15, 6, 20, 2);
    p.setPen(QPen(QColor(0x1f, 0x3a, 0x68), 1));
    p.setBrush(QColor(0xe8, 0xee, 0xf6));
    p.drawPath(rocket);
    p.setBrush(QColor(0x2d, 0x6c, 0xdf));
    p.drawEllipse(QPointF(20, 10), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe5, 0x39, 0x35));
    p.drawPolygon(QPolygonF({QPointF(17.5, 19), QPointF(20, 25), QPointF(22.5, 19)}));
    return image;
}

void installFontSubstitutions() {
    // Asked for a family it lacks, Qt has fontconfig sort every font for
    // each substitute at the first text it lays out: seven sorts, some 5 ms
    // of every start. Asking for the installed substitute by name costs one.
    for (const QString& family : {QStringLiteral("IPAGothic"), QStringLiteral("IPAexGothic")}) {
        if (QFontDatabase::hasFamily(family)) {
            requestedFamily() = family;
            return;
        }
    }
    QFont::insertSubstitutions(ProgramFontFamily, {QStringLiteral("monospace")});
}

QFont programFont(qreal pointSize) {
    QFont font(requestedFamily());
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    // Full hinting snaps the strokes to the pixel grid, as the Windows font
    // is drawn at this size. The desktop's usual light hinting would run
    // FreeType's auto-hinter, which first measures dozens of reference kanji
    // spread over the 6 MB font: a few milliseconds and over 1 MB resident
    // at every start, for text that looks blurrier.
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    return icon;
}

QPixmap runButtonPicture() {
    // 24-bit colour, no alpha: a green play mark beside the caption.
    QImage image(40, 19, QImage::Format_RGB888);
    image.fill(QColor(0xf0, 0xf0, 0xf0));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2e, 0x9d, 0x4a));
    p.drawPolygon(QPolygonF({QPointF(3, 4), QPointF(11, 9.5), QPointF(3, 15)}));
    p.setPen(Qt::black);
    QFont font = programFont(9);
    font.setPixelSize(12);
    p.setFont(font);
    p.drawText(QRect(12, 0, 28, 19), Qt::AlignCenter, Texts::Run);
    return QPixmap::fromImage(image);
}

void setUpProgramWindow(QWidget* window, const QString& title) {
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint);
    window->setWindowTitle(title);
    window->setAccessibleName(title);
    window->setWindowIcon(programIcon());
    window->setFont(programFont());
}
