"""A StatusNotifierItem watcher in place of Xfce's or Plasma's panel: says a host is present (not
with --no-host), lists the items that register, newest last, for the test to call; prints "ready"."""

import sys

from gi.repository import Gio, GLib

WATCHER = "org.kde.StatusNotifierWatcher"
items = []  # "bus name/object path"


def on_call(bus, sender, path, interface, method, args, invocation):
    # An item names its bus name, or only its path on the caller's connection.
    service = args.unpack()[0]
    items.append(sender + service if service[0] == "/" else service + "/StatusNotifierItem")
    invocation.return_value(None)


def on_get(bus, sender, path, interface, name):
    return GLib.Variant("as", items) if name[0] == "R" else GLib.Variant("b", "--no-host" not in sys.argv)


bus = Gio.bus_get_sync(Gio.BusType.SESSION)
bus.register_object("/StatusNotifierWatcher", Gio.DBusNodeInfo.new_for_xml(
    f'<node><interface name="{WATCHER}"><method name="RegisterStatusNotifierItem"><arg type="s"/>'
    '</method><property name="RegisteredStatusNotifierItems" type="as" access="read"/><property '
    'name="IsStatusNotifierHostRegistered" type="b" access="read"/></interface></node>'
).interfaces[0], on_call, on_get, None)
Gio.bus_own_name_on_connection(bus, WATCHER, Gio.BusNameOwnerFlags.NONE,
                               lambda *_: print("ready", flush=True), lambda *_: exit(1))
GLib.MainLoop().run()
