#pragma once

#include <QSize>

class QWidget;

// Gives a top-level window its client size and asks the window manager to
// keep it: the limits go to the window manager alone. A window manager may
// still give the client more room (KWin a taller client, sway its minimum
// floating size); the widget then takes that size, paints it whole with its
// background and leaves its controls where they are. Limits held by the
// widget itself would make Qt ask for the smaller size again at every move,
// and the part the desktop gave beyond it would stay unpainted.
void setClientSize(QWidget* window, QSize size);
