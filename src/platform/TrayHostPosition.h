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
// the log itself is printed only when the user has switched it on. Neither
// Qt 6.4 nor 6.8 has a public way to it; the StatusNotifierItem end-to-end
// rows fail when the log changes, and the menu then opens at the pointer.
namespace TrayHostPosition {

// Starts listening; once per process, after the application object exists.
void listen();

// The position of the host's last call, forgotten once taken.
std::optional<QPoint> take();

} // namespace TrayHostPosition
