"""Finding and pressing the program's controls over AT-SPI, shared by the desktop checks."""

import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402,F401

MAIN_TITLE = "Sweepwise Ver 2.15"


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def atspi_bus_starts():
    try:
        bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        reply = bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                              None, GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, 10000, None)
        return bool(reply.unpack()[0])
    except GLib.Error as error:
        print("SKIP: the AT-SPI bus did not start:", error.message)
        return False


def walk(node):
    yield node
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from walk(child)


def wait_for(what, find, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found:
            return found
        time.sleep(0.1)
    fail("timed out waiting for " + what)


def find_window(pid, title):
    """The top-level window of process pid with this title, or None."""
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_process_id() != pid:
            continue
        app.clear_cache()
        for j in range(app.get_child_count()):
            window = app.get_child_at_index(j)
            if window is not None and window.get_name() == title:
                return window
    return None


def controls(window, role):
    window.clear_cache()
    return [node for node in walk(window) if node.get_role() == role]


def by_name(window, role, name):
    """The one control of this role and name, or None when there is none or more than one."""
    matches = [node for node in controls(window, role) if node.get_name() == name]
    return matches[0] if len(matches) == 1 else None


def press(window, caption):
    button = by_name(window, Atspi.Role.PUSH_BUTTON, caption)
    if button is None or not button.do_action(0):
        fail("could not press " + caption)
