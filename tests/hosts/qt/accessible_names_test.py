#!/usr/bin/env python3
"""The panel's controls as a screen reader finds them: starts AT-SPI's bus, the panel program
with one virtual port to list, and reads the names of its controls back through AT-SPI.

Run inside a private D-Bus session on an X server:
    dbus-run-session -- run_on_xvfb.sh /usr/bin/python3 accessible_names_test.py PANEL_PROGRAM
Exits 77 (skipped) only when AT-SPI itself cannot start here."""

import os
import pty
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
BOUND_SECONDS = 20  # far beyond any start-up here: only a fault reaches it
PORT_NAME = "sim"

# Role, then the name each control of that role must have (visible texts kept as names where
# they say what the control does).
EXPECTED = {
    "slider": ["Drive current, mA"],
    "push button": ["OpenPort", "SET", "Step the current down", "Step the current up"],
    "combo box": ["Serial port"],
}


def skip(reason):
    print("SKIPPED: " + reason)
    sys.exit(SKIPPED)


def wait_for(condition, what):
    deadline = time.monotonic() + BOUND_SECONDS
    while time.monotonic() < deadline:
        found = condition()
        if found:
            return found
        time.sleep(0.1)
    raise AssertionError("gave up waiting for " + what)


def start_accessibility_bus():
    """AT-SPI's own bus, announced on the session bus as org.a11y.Bus."""
    if not os.access(BUS_LAUNCHER, os.X_OK):
        skip(BUS_LAUNCHER + " is missing (package at-spi2-core)")
    launcher = subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"])

    def bus_owned():
        # Asked of the session bus itself, which never starts a second launcher on demand.
        result = subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
             "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
             "string:org.a11y.Bus"],
            capture_output=True, text=True, check=False)
        return result.returncode == 0 and "boolean true" in result.stdout

    try:
        wait_for(lambda: bus_owned() or launcher.poll() is not None, "AT-SPI's bus")
    except AssertionError:
        skip("AT-SPI's bus did not come up within %d s" % BOUND_SECONDS)
    if launcher.poll() is not None:
        skip("AT-SPI's bus launcher ended with status %d" % launcher.returncode)
    return launcher


def panel_application(desktop, pid):
    for app in desktop:
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def controls_of(node, found):
    """Role and name of every node below `node`, the panel's window included."""
    for child in node:
        if child is None:
            continue
        found.append((child.getRoleName(), child.name, child))
        controls_of(child, found)
    return found


def main():
    panel_program = sys.argv[1]
    launcher = start_accessibility_bus()
    import pyatspi  # after the bus is up: it connects when imported

    with tempfile.TemporaryDirectory() as ports:
        os.chmod(ports, 0o700)
        far, near = pty.openpty()
        os.symlink(os.ttyname(near), os.path.join(ports, PORT_NAME))
        env = dict(os.environ, DRIVERPANEL_PORTS=ports, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_QPA_PLATFORM="xcb")
        panel = subprocess.Popen([panel_program], env=env)
        try:
            desktop = pyatspi.Registry.getDesktop(0)
            app = wait_for(lambda: panel_application(desktop, panel.pid), "the panel on AT-SPI")

            def named_controls():  # once the window's controls are there, the slider among them
                found = [c for c in controls_of(app, []) if c[0] in EXPECTED]
                return found if any(role == "slider" for role, _, _ in found) else None

            controls = wait_for(named_controls, "the panel's controls")
            failures = []
            for role, names in EXPECTED.items():
                seen = sorted(name for r, name, _ in controls if r == role)
                if seen != sorted(names):
                    failures.append("%s: named %s, expected %s" % (role, seen, sorted(names)))
            # The port the list shows is still there for a screen reader: among the list's items.
            port_list = next(node for r, _, node in controls if r == "combo box")
            items = [name for _, name, _ in controls_of(port_list, [])]
            if PORT_NAME not in items:
                failures.append("port list items %s lack %r" % (items, PORT_NAME))
            for failure in failures:
                print("FAILED: " + failure)
            if not failures:
                print("PASSED: every control is named for what it does")
            return 1 if failures else 0
        finally:
            panel.terminate()
            panel.wait()
            launcher.terminate()
            launcher.wait()
            os.close(far)
            os.close(near)


if __name__ == "__main__":
    sys.exit(main())
