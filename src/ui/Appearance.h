#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>

class QWidget;

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

// Makes window one of the program's top-level windows, all of a fixed size:
// a title bar with the system menu and the minimise and close buttons but no
// maximise button; the title, also its accessible name; the icon and font.
void setUpProgramWindow(QWidget* window, const QString& title);

// The run button's 40 x 19 picture.
QPixmap runButtonPicture();
