"""A StatusNotifierItem watcher and host, standing in for the panel of Xfce or
KDE Plasma: it owns org.kde.StatusNotifierWatcher, says a host is present and
keeps the list of registered items, dropping an item whose bus name goes away.
Showing the items is left to the test, which calls them as a panel would.

Run as its own process (python3 sni_host.py): it prints "ready" once it owns
the watcher's name and runs until it is terminated."""

import sys

from gi.repository import Gio, GLib

WATCHER = "org.kde.StatusNotifierWatcher"
INTERFACE = f"""
<node>
  <interface name="{WATCHER}">
    <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>"""


class Watcher:
    def __init__(self, bus):
        self.bus = bus
        self.items = []  # "bus name/object path"
        info = Gio.DBusNodeInfo.new_for_xml(INTERFACE).interfaces[0]
        bus.register_object("/StatusNotifierWatcher", info, self.on_call, self.on_get, None)
        bus.signal_subscribe("org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
                             "/org/freedesktop/DBus", None, Gio.DBusSignalFlags.NONE,
                             self.on_name_owner_changed)

    def on_call(self, bus, sender, path, interface, method, args, invocation):
        if method == "RegisterStatusNotifierItem":
            service = args.unpack()[0]
            # An item names its bus name, or only its path on the caller's connection.
            item = sender + service if service.startswith("/") else service + "/StatusNotifierItem"
            if item not in self.items:
                self.items.append(item)
                self.emit("StatusNotifierItemRegistered", item)
        invocation.return_value(None)

    def on_get(self, bus, sender, path, interface, name):
        if name == "RegisteredStatusNotifierItems":
            return GLib.Variant("as", self.items)
        if name == "IsStatusNotifierHostRegistered":
            return GLib.Variant("b", True)
        return GLib.Variant("i", 0)

    def on_name_owner_changed(self, bus, sender, path, interface, signal, args):
        name, _, new_owner = args.unpack()
        if new_owner:
            return
        for item in [i for i in self.items if i.split("/", 1)[0] == name]:
            self.items.remove(item)
            self.emit("StatusNotifierItemUnregistered", item)

    def emit(self, signal, item):
        self.bus.emit_signal(None, "/StatusNotifierWatcher", WATCHER, signal,
                             GLib.Variant("(s)", (item,)))


def main():
    loop = GLib.MainLoop()
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    Watcher(bus)

    def acquired(*_):
        print("ready", flush=True)

    def lost(*_):
        print("sni_host: could not own " + WATCHER, file=sys.stderr, flush=True)
        loop.quit()
    Gio.bus_own_name_on_connection(bus, WATCHER, Gio.BusNameOwnerFlags.NONE, acquired, lost)
    loop.run()
    return 1


if __name__ == "__main__":
    sys.exit(main())
