#pragma once

#include <QWidget>
#include <QtMath>

// Lengths in the program are in twips (1/1440 inch): 15 to a pixel at 96 DPI.
constexpr int TwipsPerInch = 1440;

inline int twipsToPixels(int twips, qreal dpi) {
    return qRound(twips * dpi / TwipsPerInch);
}

inline int pixelsToTwips(int pixels, qreal dpi) {
    return qRound(pixels * TwipsPerInch / dpi);
}

// Places a child widget by a twips rectangle at the widget's own DPI.
inline void setGeometryTwips(QWidget* widget, int left, int top, int width, int height) {
    const qreal dpi = widget->logicalDpiX();
    widget->setGeometry(twipsToPixels(left, dpi), twipsToPixels(top, dpi),
                        twipsToPixels(width, dpi), twipsToPixels(height, dpi));
}
