#!/usr/bin/python3
"""The D-Bus half of a desktop, for the tray tests, on the session bus named by
DBUS_SESSION_BUS_ADDRESS. Every event goes to standard output, one line each.

  fake_desktop.py watcher            a tray host: org.kde.StatusNotifierWatcher
  fake_desktop.py notifications      a notification service
  fake_desktop.py hung-notifications one that takes every call and never answers
  fake_desktop.py share SERVICE RRGGBB  the percentage of the item's largest icon in that colour
  fake_desktop.py activate SERVICE   a click on the item
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
NOTIFICATIONS = "org.freedesktop.Notifications"


def say(*words):
    print(*words, flush=True)


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.items = []

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender):
        # An item names its bus name, or only its path on the sender's name.
        name = service if not service.startswith("/") else sender
        self.items.append(name)
        say("registered", name)
        self.StatusNotifierItemRegistered(name)

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    # Qt reads the properties through a proxy made from this description.
    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature="s")
    def Introspect(self):
        return """<node><interface name="%s">
          <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
          <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
          <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
          <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
          <property name="ProtocolVersion" type="i" access="read"/>
          <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
        </interface></node>""" % WATCHER

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
        }


class Notifications(dbus.service.Object):
    def __init__(self, bus, hung):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.hung = hung
        self.count = 0

    @dbus.service.method(NOTIFICATIONS, in_signature="susssasa{sv}i", out_signature="u",
                         async_callbacks=("reply", "error"))
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout, reply, error):
        say("notify", app, "|", icon, "|", summary, "|", body)
        if self.hung:
            return  # the caller waits for an answer that never comes
        self.count += 1
        reply(dbus.UInt32(self.count))

    @dbus.service.method(NOTIFICATIONS, out_signature="as")
    def GetCapabilities(self):
        return ["body"]

    @dbus.service.method(NOTIFICATIONS, out_signature="ssss")
    def GetServerInformation(self):
        return ("fake", "tests", "1", "1.2")


def serve(kind):
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    if kind == "watcher":
        keep = Watcher(bus)
        name = dbus.service.BusName(WATCHER, bus)
    else:
        keep = Notifications(bus, hung=kind == "hung-notifications")
        name = dbus.service.BusName(NOTIFICATIONS, bus)
    say("serving", kind)
    GLib.MainLoop().run()
    del keep, name


def item(service):
    bus = dbus.SessionBus()
    return bus.get_object(service, "/StatusNotifierItem")


def share(service, colour):
    pixmaps = item(service).Get(ITEM, "IconPixmap", dbus_interface=dbus.PROPERTIES_IFACE)
    width, height, data = max(pixmaps, key=lambda p: p[0])
    wanted = bytes.fromhex("ff" + colour)  # ARGB, network byte order
    pixels = bytes(data)
    matching = sum(1 for at in range(0, len(pixels), 4) if pixels[at:at + 4] == wanted)
    say(100 * matching // (width * height))


def main():
    kind = sys.argv[1]
    if kind == "share":
        share(sys.argv[2], sys.argv[3])
    elif kind == "activate":
        item(sys.argv[2]).Activate(dbus.Int32(0), dbus.Int32(0), dbus_interface=ITEM)
    else:
        serve(kind)


if __name__ == "__main__":
    main()
