#!/usr/bin/env python3
"""The trend window and the recording of the panel program, as an operator uses them: the
program started with --record against the module simulator on a pty, the port opened from the
keyboard, the trend window opened with Ctrl+T, then the program killed outright. And a file
that cannot be created is told on standard error while the panel runs. The CSV must hold
exactly what the simulator sent (../../support/recording_check.py), up to the kill.

Run on an X server: run_on_xvfb.sh python3 trend_record_test.py PANEL SIMULATOR"""

import datetime
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from recording_check import check_recording  # noqa: E402

PANEL_TITLE = "Orlevan D20220513"
TREND_TITLE = "Readings over time"
BOUND_SECONDS = 20  # far beyond any start-up here: only a fault reaches it
RECORD_SECONDS = 12
SETPOINT = 150


def wait_for(condition, what):
    deadline = time.monotonic() + BOUND_SECONDS
    while time.monotonic() < deadline:
        found = condition()
        if found:
            return found
        time.sleep(0.1)
    raise AssertionError("gave up waiting for " + what)


def find_window(title):
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                            capture_output=True, text=True, check=False)
    ids = result.stdout.split()
    return ids[0] if ids else None


def unwritable_file_is_told_and_the_panel_runs(panel_program, work):
    missing = os.path.join(work, "no-such-folder", "readings.csv")
    panel = subprocess.Popen([panel_program, "--record", missing], stderr=subprocess.PIPE,
                             text=True)
    try:
        wait_for(lambda: find_window(PANEL_TITLE), "the panel with an unwritable recording")
        assert panel.poll() is None, "the panel ended"
    finally:
        panel.kill()
    told = panel.communicate()[1]
    assert "Cannot record to " + missing + ": No such file or directory." in told, told


def main():
    panel_program, simulator_program = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="trend-record-")
    unwritable_file_is_told_and_the_panel_runs(panel_program, work)
    ports = os.path.join(work, "ports")
    os.mkdir(ports, 0o700)
    sim_log = os.path.join(work, "sim.log")
    record = os.path.join(work, "readings.csv")
    env = dict(os.environ, DRIVERPANEL_PORTS=ports)
    simulator = subprocess.Popen(
        [simulator_program, "--link", "sim", "--log", sim_log, "--log-sent", "--drop", "0.15",
         "--seed", "7", "--setpoint-a", str(SETPOINT)],
        stdout=subprocess.DEVNULL, env=env)
    panel = None
    try:
        wait_for(lambda: os.path.islink(os.path.join(ports, "sim")), "the simulator's port")
        started = datetime.datetime.now(datetime.timezone.utc)
        panel = subprocess.Popen([panel_program, "--record", record], env=env)
        window = wait_for(lambda: find_window(PANEL_TITLE), "the panel")
        # Focus starts on OpenPort: Tab twice to the port list, End picks the last port (the
        # virtual one), back to OpenPort and press it.
        subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)
        subprocess.run(["xdotool", "key", "--window", window, "Tab", "Tab", "End", "shift+Tab",
                        "shift+Tab", "space"], check=True)
        subprocess.run(["xdotool", "key", "--window", window, "ctrl+t"], check=True)
        wait_for(lambda: find_window(TREND_TITLE), "the trend window after Ctrl+T")
        time.sleep(RECORD_SECONDS)
        # Killed outright: only the rows already flushed count.
        panel.send_signal(signal.SIGKILL)
        panel.wait()
        ended = datetime.datetime.now(datetime.timezone.utc)
    finally:
        if panel and panel.poll() is None:
            panel.kill()
        simulator.terminate()
        simulator.wait()

    rows = check_recording(record, sim_log, "sim", SETPOINT, started, ended, RECORD_SECONDS)
    print("%d rows match what the simulator sent" % rows)


if __name__ == "__main__":
    main()
