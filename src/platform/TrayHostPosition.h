#pragma once

#include <QPoint>
#include <optional>

// Where a StatusNotifierItem host asked for the icon's menu.
//
// A host that draws no menu of its own calls the item's ContextMenu(x, y)
// with the place the menu belongs, which need not be where the pointer is
// (a panel on a Wayland output, a keyboard-driven panel). Qt turns the call
// into a bare Context activation and keeps the position only in its tray log
// ("x y" on the category qt.qpa.tray), so the position is read from there;
// the log itself is printed only when the user has switched it on.
namespace TrayHostPosition {

// Starts listening; once per process, after the application object exists.
void listen();

// The position of the host's last call, forgotten once taken.
std::optional<QPoint> take();

} // namespace TrayHostPosition
