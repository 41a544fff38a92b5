#pragma once

#include <QPoint>
#include <optional>

class QWindow;

// Asks the window manager to put the window's outer frame's top-left at the
// point. Most window managers do; some (i3 4.22) put the client there
// instead, whatever the window's gravity says, and announce no frame
// extents, so the frame stands off by its border and title bar. The first
// answer that shows it is corrected, and later requests allow for it.
void moveFrameTo(QWindow* window, QPoint frame);

// Where the last request asked the window's frame to stand, if one did.
std::optional<QPoint> askedFramePosition(const QWindow* window);
