#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>

// The program's look, shared by its three windows.

// "ＭＳ ゴシック" is not on Linux; IPAGothic has the same metrics, so Japanese
// text keeps the widths the layout was made for. Picks the installed stand-in;
// call once, after the application object and before any window.
void installFontSubstitutions();

// "ＭＳ ゴシック", or the font that stands in for it, at the given size,
// regular weight.
QFont programFont(qreal pointSize = 9.0);

// The windows' own 32 x 32 icon, which the tray icon reuses.
QIcon programIcon();

// The same icon drawn at size x size pixels; also the desktop's icon files.
QImage programIconImage(int size);

// The run button's 40 x 19 picture.
QPixmap runButtonPicture();
