#!/usr/bin/python3
"""Reads the program's accessibility tree over AT-SPI (D-Bus).

  a11y.py describe NAME   prints the description of the first object named NAME
  a11y.py extents NAME    prints "x y width height" of it on the screen
  a11y.py names           prints every object's role, name and description
"""
import sys

import dbus

ACCESSIBLE = "org.a11y.atspi.Accessible"


def a11y_bus():
    session = dbus.SessionBus()
    address = session.get_object("org.a11y.Bus", "/org/a11y/bus").GetAddress(
        dbus_interface="org.a11y.Bus")
    return dbus.bus.BusConnection(str(address))


def walk(bus, name, path, depth=0):
    obj = bus.get_object(name, path)
    props = dbus.Interface(obj, "org.freedesktop.DBus.Properties")
    yield obj, str(props.Get(ACCESSIBLE, "Name")), str(props.Get(ACCESSIBLE, "Description")), depth
    if depth > 40:
        return
    for child_name, child_path in obj.GetChildren(dbus_interface=ACCESSIBLE):
        yield from walk(bus, str(child_name), str(child_path), depth + 1)


def find(bus, wanted):
    root = bus.get_object("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")
    for app_name, app_path in root.GetChildren(dbus_interface=ACCESSIBLE):
        for obj, name, description, _ in walk(bus, str(app_name), str(app_path)):
            if wanted is None:
                print(f"{name!r} {description!r}")
            elif name == wanted:
                return obj, description
    return None, None


def main():
    bus = a11y_bus()
    if sys.argv[1] == "names":
        find(bus, None)
        return 0
    obj, description = find(bus, sys.argv[2])
    if obj is None:
        return 1
    if sys.argv[1] == "describe":
        print(description)
    elif sys.argv[1] == "extents":
        x, y, w, h = obj.GetExtents(dbus.UInt32(0), dbus_interface="org.a11y.atspi.Component")
        print(int(x), int(y), int(w), int(h))
    return 0


if __name__ == "__main__":
    sys.exit(main())
