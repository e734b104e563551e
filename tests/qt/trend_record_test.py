#!/usr/bin/env python3
"""The trend window and the recording of the panel program, as an operator uses them: the
program started with --record against the module simulator on a pty, the port opened from the
keyboard, the trend window opened with Ctrl+T, then the program killed outright. And a file
that cannot be created is told on standard error while the panel runs. The CSV, read
with Python's csv module, must hold exactly what the simulator sent, poll by poll: every reply
it sent as a value, every reply it dropped as an empty field, nothing repeated, and every row
that was complete before the kill.

Run on an X server: run_on_xvfb.sh python3 trend_record_test.py PANEL SIMULATOR"""

import csv
import datetime
import os
import signal
import subprocess
import sys
import tempfile
import time

PANEL_TITLE = "Orlevan D20220513"
TREND_TITLE = "Readings over time"
BOUND_SECONDS = 20  # far beyond any start-up here: only a fault reaches it
RECORD_SECONDS = 12
SETPOINT = 150
HEADER = ["time", "port", "setpoint_mA", "temperature_C", "power_mW"]


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


def sent_readings(log_path):
    """The simulator's temperature and power replies in order: the field as the panel records it,
    or "" for one it dropped. "12.3 TX ED FA 06 0B 09 E3 07 73 xx ok"."""
    temperatures, powers = [], []
    with open(log_path, encoding="ascii") as log:
        for line in log:
            words = line.split()
            if len(words) < 6 or words[1] != "TX" or words[2:4] != ["ED", "FA"]:
                continue
            data = [int(b, 16) for b in words[6:-2]]
            dropped = words[-1] == "dropped"
            if words[5] == "0B":
                raw = data[0] << 8 | data[1]
                temperatures.append("" if dropped else "%d.%02d" % divmod(raw, 100))
            elif words[5] == "22":
                raw = data[0] << 8 | data[1]
                powers.append("" if dropped else "%d.%d" % divmod(raw, 10))
    return temperatures, powers


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

    with open(record, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f, strict=True))
    assert rows[0] == HEADER, rows[0]
    rows = rows[1:]
    assert len(rows) >= RECORD_SECONDS, "only %d rows" % len(rows)
    times = []
    for row in rows:
        assert len(row) == len(HEADER), row
        assert row[0].endswith("Z") and len(row[0]) == len("2026-12-09T14:00:00.000Z"), row
        times.append(datetime.datetime.strptime(row[0], "%Y-%m-%dT%H:%M:%S.%fZ").replace(
            tzinfo=datetime.timezone.utc))
        assert row[1] == "sim", row
        assert row[2] == str(SETPOINT), row
    assert times == sorted(times), "times go back"
    slack = datetime.timedelta(seconds=1)
    assert started - slack <= times[0] and times[-1] <= ended + slack, (times[0], times[-1])

    temperatures, powers = sent_readings(sim_log)
    recorded_t = [row[3] for row in rows]
    recorded_p = [row[4] for row in rows]
    # The last poll or two may have been answered after the last flushed row.
    assert 0 <= len(temperatures) - len(rows) <= 2, (len(temperatures), len(rows))
    assert recorded_t == temperatures[:len(rows)], (recorded_t, temperatures)
    assert recorded_p == powers[:len(rows)], (recorded_p, powers)
    assert "" in recorded_t + recorded_p, "the simulator dropped nothing: no empty field tested"
    print("%d rows match what the simulator sent" % len(rows))


if __name__ == "__main__":
    main()
