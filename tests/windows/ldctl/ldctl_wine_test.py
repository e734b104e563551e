#!/usr/bin/env python3
"""ldctl.exe under Wine as a script uses it, against the module simulator on a COM port.

Each test makes a serial line: a socat pty pair whose one end is the prefix's COM5 and whose
other end the simulator plays, logging every frame it receives. What ldctl.exe printed and its
exit status are checked against what the simulator's model holds; what it sent is read on the
simulator's side of the wire. Started by run_ldctl_e2e.sh, which prepares the prefix.
"""
import csv
import io
import json
import os
import re
import signal
import subprocess
import time
import unittest

LDCTL = os.environ["LDCTL_EXE"]
SIMULATOR = os.environ["SIMULATOR"]
WORK = os.environ["WORK"]
DOSDEVICES = os.path.join(os.environ["WINEPREFIX"], "dosdevices")
PORT = "COM5"
ABSENT_PORT = "COM16"  # never linked

SET_CODES = (0x0C, 0x0D)  # the set frames of setpoints A and B

# A diode with a known curve (threshold 40 mA, 0.5 mW/mA, faint light below, a noisy detector)
# at 100 mA of a 500 mA maximum.
CURVE = ["--threshold", "40", "--slope", "0.5", "--spontaneous", "0.002", "--power-noise", "0.05",
         "--seed", "7"]


def wait_for(predicate, seconds=10.0):
    deadline = time.monotonic() + seconds
    while not predicate():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


class Line:
    """COM5 joined to the simulator (or to nothing, for a silent module) for one test."""

    count = 0

    def __init__(self, *sim_args, setpoint=100, simulator=True):
        Line.count += 1
        self.dir = os.path.join(WORK, "line%d" % Line.count)
        os.makedirs(self.dir)
        self.log = os.path.join(self.dir, "frames.log")
        panel_end = os.path.join(self.dir, "panel-end")
        module_end = os.path.join(self.dir, "module-end")
        self.processes = [subprocess.Popen(
            ["socat", "pty,raw,echo=0,link=" + panel_end, "pty,raw,echo=0,link=" + module_end],
            stderr=subprocess.DEVNULL)]
        assert wait_for(lambda: os.path.exists(panel_end) and os.path.exists(module_end))
        link = os.path.join(DOSDEVICES, PORT.lower())
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(panel_end, link)
        if simulator:
            with open(os.path.join(self.dir, "sim.err"), "w") as errors:
                self.processes.append(subprocess.Popen(
                    [SIMULATOR, "--device", module_end, "--log", self.log, "--variant", "1",
                     "--setpoint-a", str(setpoint), "--max-a", "500", *sim_args],
                    stdout=subprocess.DEVNULL, stderr=errors))
            assert wait_for(lambda: os.path.exists(self.log))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for process in reversed(self.processes):
            process.terminate()
            process.wait()

    def hang_up(self):
        """The line goes away under the port, as a pulled adapter takes it."""
        self.processes[0].terminate()
        self.processes[0].wait()

    def sets(self):
        """The values of the set frames the module received, lost ones included, in order."""
        values = []
        with open(self.log) as log:
            for line in log:
                fields = line.split()
                if len(fields) >= 9 and fields[1] == "RX":
                    frame = [int(b, 16) for b in fields[2:9]]
                    if frame[3] in SET_CODES:
                        values.append(frame[4] << 8 | frame[5])
        return values


def ldctl(*args, **kwargs):
    return subprocess.run(["wine", LDCTL, *args], capture_output=True, text=True,
                          encoding="utf-8", timeout=60, **kwargs)


def start_ldctl(*args):
    return subprocess.Popen(["wine", LDCTL, *args], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, encoding="utf-8")


def read_lines(process, count):
    lines = []
    while len(lines) < count:
        line = process.stdout.readline()
        if not line:
            break
        lines.append(line)
    return lines


class Ldctl(unittest.TestCase):
    def test_list_names_the_linked_port_and_no_other(self):
        with Line():
            text = ldctl("list")
            listed = ldctl("list", "--json")
        self.assertEqual(text.returncode, 0, text.stderr)
        self.assertRegex(text.stdout, r"(?m)^ 5  COM5 +\\\\\.\\COM5$")
        self.assertNotIn("COM16", text.stdout)
        self.assertIn({"number": 5, "name": "COM5", "path": "\\\\.\\COM5"},
                      json.loads(listed.stdout))

    def test_watch_prints_each_format_and_never_sends_a_set_frame(self):
        time_ = r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d"
        with Line(*CURVE) as line:
            for name, port in (("text", "COM5"), ("csv", "com5"), ("json", "5")):
                result = ldctl("watch", port, "--count", "2", "--format", name)
                self.assertEqual(result.returncode, 0, name + ": " + result.stderr)
                lines = result.stdout.splitlines()
                if name == "text":
                    self.assertEqual(len(lines), 2, result.stdout)
                    for printed in lines:
                        self.assertRegex(printed, "^" + time_ +
                                         r"  \d+\.\d °C  (29\.[89]|30\.[0-2]) mW  100 mA  A$")
                elif name == "csv":
                    rows = list(csv.DictReader(io.StringIO(result.stdout)))
                    self.assertEqual(len(rows), 2, result.stdout)
                    self.assertEqual(rows[0]["setpoint_ma"], "100")
                    self.assertAlmostEqual(float(rows[1]["power_mw"]), 30.0, delta=0.25)
                else:
                    readings = [json.loads(printed) for printed in lines]
                    self.assertEqual(len(readings), 2, result.stdout)
                    self.assertRegex(readings[0]["time"], time_)
                    self.assertEqual(readings[1]["variant"], "A")
            self.assertEqual(line.sets(), [])

    def test_set_applies_the_fields_rules_and_refuses_what_is_not_a_number(self):
        cases = [  # MA, status, printed, sent
            ("250", 0, "250 mA\n", [250]),
            ("12.7", 0, "12 mA\n", [12]),
            ("9999", 0, "500 mA\n", [500]),
        ] + [(text, 2, "", []) for text in ("abc", "1e3", "0x1F4", "12abc", " 12", "nan", "")]
        for text, status, printed, sent in cases:
            with Line() as line:
                result = ldctl("set", PORT, text)
                self.assertEqual(result.returncode, status, repr(text) + ": " + result.stderr)
                self.assertEqual(result.stdout, printed, repr(text))
                self.assertEqual(line.sets(), sent, repr(text))
                if status == 2:
                    self.assertIn("nothing was sent", result.stderr)

    def test_sweep_estimates_a_known_curve_and_returns_the_current(self):
        with Line(*CURVE) as line:
            result = ldctl("sweep", PORT, "--from", "0", "--to", "120", "--step", "10",
                           "--dwell", "50", "--format", "csv")
            self.assertEqual(result.returncode, 0, result.stderr)
            fit = re.search(r"\n# threshold ([0-9.]+) mA, slope efficiency ([0-9.]+) mW/mA",
                            result.stdout)
            self.assertIsNotNone(fit, result.stdout)
            self.assertAlmostEqual(float(fit.group(1)), 40.0, delta=40.0 * 0.05)
            self.assertAlmostEqual(float(fit.group(2)), 0.5, delta=0.5 * 0.05)
            self.assertTrue(result.stdout.startswith("setpoint_ma,temperature_c,power_mw,time\n"))
            self.assertEqual(line.sets(), list(range(0, 130, 10)) + [100])

    def test_every_ending_has_its_status_and_the_current_is_returned_when_it_can_be(self):
        sweep = ["sweep", PORT, "--from", "30", "--to", "60", "--step", "10", "--dwell", "0"]
        cases = [  # name, simulator options, setpoint before, arguments, status, sent, said
            ("usage", [], 100, ["watch"], 2, [], "PORT is required"),
            ("no such port", [], 100, ["watch", ABSENT_PORT], 3, [], "no such port"),
            ("beyond the maximum", [], 100, sweep[:5] + ["501"] + sweep[6:], 8, [],
             "nothing was sent"),
            ("a lost step", ["--ignore-set", "1"], 100, sweep, 6, [30, 100],
             "the current is back at 100 mA"),
            ("the way back held lower", ["--set-limit", "45"], 100, sweep, 9, [30, 40, 50, 100],
             "may still hold"),
        ]
        for name, sim_args, before, args, status, sent, said in cases:
            with Line(*CURVE, *sim_args, setpoint=before) as line:
                result = ldctl(*args)
                self.assertEqual(result.returncode, status, name + ": " + result.stderr)
                self.assertIn(said, result.stderr, name)
                self.assertEqual(line.sets(), sent, name)
        with Line(simulator=False):
            result = ldctl("watch", PORT)
            self.assertEqual(result.returncode, 6, result.stderr)
            self.assertIn("no configuration from the module within 3 s", result.stderr)
        with Line(*CURVE):
            reader, writer = os.pipe()
            os.close(reader)
            result = subprocess.run(["wine", LDCTL, "watch", PORT, "--count", "1"],
                                    stdout=writer, stderr=subprocess.PIPE, text=True, timeout=60)
            os.close(writer)
            self.assertEqual(result.returncode, 1, result.stderr)
            self.assertIn("standard output", result.stderr)

    def test_ctrl_c_ends_cleanly_and_a_sweep_returns_the_current_first(self):
        with Line(*CURVE) as line:
            watch = start_ldctl("watch", PORT)
            self.assertEqual(len(read_lines(watch, 2)), 2)
            watch.send_signal(signal.SIGINT)
            watch.communicate(timeout=30)
            self.assertEqual(watch.returncode, 0)

            sweep = start_ldctl("sweep", PORT, "--from", "0", "--to", "120", "--step", "10",
                                "--dwell", "100")
            self.assertEqual(len(read_lines(sweep, 3)), 3)
            sweep.send_signal(signal.SIGINT)
            _, err = sweep.communicate(timeout=30)
            self.assertEqual(sweep.returncode, 130, err)
            self.assertIn("the current is back at 100 mA", err)
            sets = line.sets()
            self.assertEqual(sets[:3], [0, 10, 20])
            self.assertLess(len(sets), 13)
            self.assertEqual(sets[-1], 100)

    def test_a_line_gone_mid_command_ends_in_the_port_failed_status(self):
        cases = [  # name, arguments, lines before the hang-up, said
            ("watch", ["watch", PORT], 2, "Application Error"),
            ("sweep", ["sweep", PORT, "--from", "0", "--to", "120", "--step", "10", "--dwell",
                       "100"], 3, "could not be returned to 100 mA"),
        ]
        for name, args, lines, said in cases:
            with Line(*CURVE) as line:
                command = start_ldctl(*args)
                self.assertEqual(len(read_lines(command, lines)), lines, name)
                line.hang_up()
                _, err = command.communicate(timeout=30)
                self.assertEqual(command.returncode, 7, name + ": " + err)
                self.assertIn(said, err, name)
                # Said once: the worker serves the failed port no more.
                self.assertEqual(err.count("Application Error"), 1, err)


if __name__ == "__main__":
    unittest.main(verbosity=2)
