#!/usr/bin/env python3
"""A recording checked against what the module simulator sent, for both panel programs' tests.
The CSV, read with Python's csv module, must hold exactly what the simulator sent, poll by
poll: every reply it sent as a value, every reply it dropped as an empty field, nothing
repeated, and every row that was complete before the program ended.

As a command: recording_check.py CSV SIM_LOG PORT SETPOINT STARTED ENDED LEAST_ROWS
(STARTED and ENDED in seconds since 1970, UTC)."""

import csv
import datetime
import sys

HEADER = ["time", "port", "setpoint_mA", "temperature_C", "power_mW"]


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


def check_recording(record, sim_log, port, setpoint, started, ended, least_rows):
    """Raises AssertionError on the first difference; returns the number of rows."""
    with open(record, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f, strict=True))
    assert rows[0] == HEADER, rows[0]
    rows = rows[1:]
    assert len(rows) >= least_rows, "only %d rows" % len(rows)
    times = []
    for row in rows:
        assert len(row) == len(HEADER), row
        assert row[0].endswith("Z") and len(row[0]) == len("2026-12-09T14:00:00.000Z"), row
        times.append(datetime.datetime.strptime(row[0], "%Y-%m-%dT%H:%M:%S.%fZ").replace(
            tzinfo=datetime.timezone.utc))
        assert row[1] == port, row
        assert row[2] == str(setpoint), row
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
    return len(rows)


def main():
    record, sim_log, port, setpoint, started, ended, least_rows = sys.argv[1:8]
    utc = datetime.timezone.utc
    rows = check_recording(record, sim_log, port, int(setpoint),
                           datetime.datetime.fromtimestamp(float(started), utc),
                           datetime.datetime.fromtimestamp(float(ended), utc), int(least_rows))
    print("%d rows match what the simulator sent" % rows)


if __name__ == "__main__":
    main()
