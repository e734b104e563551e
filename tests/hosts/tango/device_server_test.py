#!/usr/bin/python3
"""LaserDiodeDriver as a lab uses it: the device server against the module simulator on ptys,
driven by a real python3-tango client.

  device_server_test.py file SERVER SIMULATOR LDCTL       Tango's file database (-file=)
  device_server_test.py database SERVER SIMULATOR LDCTL   a tango-db on a private MariaDB,
                                                          reached through TANGO_HOST
Every process it starts is ended by its id; the exit status tells whether every check passed."""
import json
import os
import pwd
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

import tango

MODE, SERVER, SIMULATOR, LDCTL = sys.argv[1:5]
work = tempfile.mkdtemp(prefix="ldd-tango-")
ports_dir = os.path.join(work, "ports")
os.mkdir(ports_dir, 0o700)
env = dict(os.environ, DRIVERPANEL_PORTS=ports_dir)
processes = []
failures = []


def check(condition, what):
    print(("ok     " if condition else "FAILED ") + what, flush=True)
    if not condition:
        failures.append(what)


def start(args, name, extra_env=None):
    log = open(os.path.join(work, name + ".log"), "w")
    process = subprocess.Popen(args, stdout=log, stderr=subprocess.STDOUT,
                               env=dict(env, **(extra_env or {})))
    processes.append(process)
    return process


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def until(predicate, seconds=15):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            if predicate():
                return True
        except tango.DevFailed:
            pass
        time.sleep(0.1)
    return False


def simulator(link, *options):
    sim = start([SIMULATOR, "--link", link, "--log", os.path.join(work, link + ".frames")] +
                list(options), link)
    check(until(lambda: os.path.lexists(os.path.join(ports_dir, link)), 10), link + " is linked")
    return sim


def set_frames(link):
    """The values of the set frames the simulator received, in order."""
    with open(os.path.join(work, link + ".frames")) as frames:
        return [int(m.group(1) + m.group(2), 16) for m in
                re.finditer(r"RX EF EF 04 0[CD] ([0-9A-F]{2}) ([0-9A-F]{2})", frames.read())]


def refused(write, reason):
    try:
        write()
    except tango.DevFailed as failure:
        return failure.args[0].reason == reason or failure.args[0].reason
    return "no error"


def start_database():
    """A private MariaDB loaded with Tango's schema, and DataBaseds on it; returns TANGO_HOST."""
    data, sock = os.path.join(work, "mysql"), os.path.join(work, "mysql.sock")
    user = pwd.getpwuid(os.getuid()).pw_name
    subprocess.run(["mariadb-install-db", "--no-defaults", "--datadir=" + data, "--user=" + user,
                    "--auth-root-authentication-method=socket", "--auth-root-socket-user=" + user,
                    "--skip-test-db"], check=True, stdout=subprocess.DEVNULL)
    mysql_port = free_port()
    start(["mariadbd", "--no-defaults", "--datadir=" + data, "--socket=" + sock,
           "--bind-address=127.0.0.1", "--port=%d" % mysql_port, "--user=" + user,
           "--pid-file=" + os.path.join(work, "mysql.pid")], "mariadbd")
    client = ["mariadb", "--no-defaults", "-S", sock, "-u", user]
    check(until(lambda: subprocess.run(client + ["-e", "select 1"], capture_output=True)
                .returncode == 0, 30), "MariaDB answers")
    subprocess.run(client + ["-e", "CREATE DATABASE tango; "
                             "CREATE USER tango@'127.0.0.1' IDENTIFIED BY 'tango'; "
                             "GRANT ALL ON tango.* TO tango@'127.0.0.1';"], check=True)
    with open("/usr/share/dbconfig-common/data/tango-db/install/mysql") as schema:
        subprocess.run(client + ["tango"], stdin=schema, check=True, stdout=subprocess.DEVNULL)
    host = "127.0.0.1:%d" % free_port()
    start(["/usr/lib/tango/DataBaseds", "2", "-ORBendPoint", "giop:tcp:" + host], "databaseds",
          {"MYSQL_HOST": "127.0.0.1:%d" % mysql_port, "MYSQL_USER": "tango",
           "MYSQL_PASSWORD": "tango", "MYSQL_DATABASE": "tango", "TANGO_HOST": host})
    admin = dict(env, TANGO_HOST=host)
    check(subprocess.run(["tango_admin", "--ping-database", "20"], env=admin).returncode == 0,
          "the Tango database answers at " + host)
    for command in (["--add-server", "LaserDiodeDriver/lab", "LaserDiodeDriver", "lab/ld/1"],
                    ["--add-property", "lab/ld/1", "Port", "sim1"]):
        subprocess.run(["tango_admin"] + command, env=admin, check=True)
    return host


try:
    sim1 = simulator("sim1")
    if MODE == "file":
        simulator("sim2")
        simulator("sim3", "--drop", "1")  # a module that never answers
        # A link named with sim1's list number plus one sorts before sim1 and takes sim1's number:
        # that name is also sim1's number.
        listed = json.loads(subprocess.run([LDCTL, "list", "--json"], env=env, check=True,
                                           capture_output=True).stdout)
        clash = str(next(port["number"] for port in listed if port["name"] == "sim1") + 1)
        simulator(clash)
        database = os.path.join(work, "devices.res")
        with open(database, "w") as f:
            f.write('LaserDiodeDriver/test/DEVICE/LaserDiodeDriver: "lab/ld/1", "lab/ld/2", '
                    '"lab/ld/3", "lab/ld/4", "lab/ld/5"\n'
                    'lab/ld/1->Port: "sim1"\n'
                    'lab/ld/2->Port: "sim2"\nlab/ld/2->ReadOnly: true\n'
                    'lab/ld/3->Port: "/dev/no-such-port"\n'
                    'lab/ld/4->Port: "sim3"\n'
                    'lab/ld/5->Port: "%s"\n' % clash)
        endpoint = "127.0.0.1:%d" % free_port()
        start([SERVER, "test", "-file=" + database, "-ORBendPoint", "giop:tcp:" + endpoint],
              "server")
        name = lambda n: "tango://%s/lab/ld/%d#dbase=no" % (endpoint, n)
    else:
        host = start_database()
        os.environ["TANGO_HOST"] = host
        start([SERVER, "lab"], "server", {"TANGO_HOST": host})
        name = lambda n: "lab/ld/%d" % n

    device = tango.DeviceProxy(name(1))
    check(until(lambda: device.state() == tango.DevState.ON, 30), "the device comes ON")
    print("status:", device.status())
    names = ("Current", "CurrentMax", "Temperature", "Power", "Variant", "Port")
    check(until(lambda: all(device.read_attribute(a).quality == tango.AttrQuality.ATTR_VALID
                            for a in names)), "every attribute reads valid")
    values = {a: device.read_attribute(a) for a in names}
    check(values["CurrentMax"].value == 500 and values["Variant"].value == "A" and
          values["Port"].value == "sim1", "the module's configuration and port are read")
    check([device.get_attribute_config(a).unit for a in ("Current", "Temperature", "Power")] ==
          ["mA", "degC", "mW"], "units are set")

    events = []
    subscription = device.subscribe_event("Current", tango.EventType.CHANGE_EVENT,
                                          lambda e: events.append(e), [])
    temperatures = []
    device.subscribe_event("Temperature", tango.EventType.CHANGE_EVENT,
                           lambda e: temperatures.append(e), [])

    # A write goes the typed SET path and returns once the module has confirmed it.
    for written, expected in ((120, 120), (123.9, 123), (1e9, 500), (-5, 0), (450, 450)):
        device.write_attribute("Current", written)
        read = device.read_attribute("Current")
        check(read.value == expected and read.w_value == expected,
              "Current %r reads back %r (read %r, set %r)" % (written, expected, read.value,
                                                             read.w_value))
    check(120 in set_frames("sim1") and 500 in set_frames("sim1"), "the set frames are on the wire")
    for bad in (float("nan"), float("inf")):
        check(refused(lambda: device.write_attribute("Current", bad), None) != "no error",
              "a write of %r is refused" % bad)
    check(until(lambda: any(not e.err and e.attr_value.value == 450 for e in events)),
          "a subscriber hears the confirmed setpoint")
    check(until(lambda: sum(not e.err for e in temperatures) >= 3),
          "a subscriber hears the temperature readings")

    # A client that gives up in the middle of a write: the write still ends within 0 ... max.
    impatient = tango.DeviceProxy(name(1))
    impatient.set_timeout_millis(1)
    try:
        impatient.write_attribute("Current", 300)
    except tango.DevFailed:
        pass
    del impatient
    check(until(lambda: device.read_attribute("Current").value == 300),
          "a write whose client timed out still completes")
    check(all(0 <= value <= 500 for value in set_frames("sim1")),
          "no set frame outside 0 ... 500 mA: %s" % set_frames("sim1"))

    if MODE == "file":
        monitor = tango.DeviceProxy(name(2))
        check(until(lambda: monitor.state() == tango.DevState.ON), "the monitoring device is ON")
        check(refused(lambda: monitor.write_attribute("Current", 10), "LDD_ReadOnly") is True,
              "ReadOnly refuses a write")
        check(set_frames("sim2") == [], "ReadOnly sent nothing")
        missing = tango.DeviceProxy(name(3))
        check(until(lambda: missing.state() == tango.DevState.FAULT) and
              "not there" in missing.status(), "a port that does not exist: FAULT, " +
              missing.status())
        check(refused(lambda: missing.write_attribute("Current", 10), "LDD_PortClosed") is True,
              "a write without a port is refused")

        ambiguous = tango.DeviceProxy(name(5))
        check(until(lambda: ambiguous.state() == tango.DevState.FAULT) and
              "ambiguous" in ambiguous.status() and
              " RX " not in open(os.path.join(work, clash + ".frames")).read(),
              "a Port that is a name and another port's number: FAULT, nothing sent, " +
              ambiguous.status())

        silent = tango.DeviceProxy(name(4))
        check(until(lambda: silent.state() == tango.DevState.INIT), "a silent module: INIT")
        check(refused(lambda: silent.write_attribute("Current", 10), "LDD_NotConfigured") is True
              and set_frames("sim3") == [], "a write before the configuration is refused")

        # The module stops answering for a while: readings go INVALID, then valid again.
        sim1.send_signal(signal.SIGSTOP)
        check(until(lambda: device.read_attribute("Power").quality ==
                    tango.AttrQuality.ATTR_INVALID) and "No reading" in device.status(),
              "readings are INVALID after 2 s without one: " + device.status())
        sim1.send_signal(signal.SIGCONT)
        check(until(lambda: device.read_attribute("Power").quality ==
                    tango.AttrQuality.ATTR_VALID), "and valid again when it answers")

        # The port hangs up and comes back.
        stop(sim1)
        check(until(lambda: device.state() == tango.DevState.FAULT, 10), "FAULT on a hang-up: " +
              device.status())
        check(until(lambda: device.read_attribute("Temperature").quality ==
                    tango.AttrQuality.ATTR_INVALID), "readings are INVALID without the port")
        sim1 = simulator("sim1")
        check(until(lambda: device.state() == tango.DevState.ON, 15),
              "ON again once the port returns")
        check(device.read_attribute("Current").value == 100, "the new module's setpoint is read")

        device.command_inout("Close")
        check(device.state() == tango.DevState.OFF, "Close: OFF, " + device.status())
        device.command_inout("Open")
        check(until(lambda: device.state() == tango.DevState.ON), "Open: ON again")
        device.command_inout("Init")
        check(until(lambda: device.state() == tango.DevState.ON), "Init: ON again")
    device.unsubscribe_event(subscription)
finally:
    for process in reversed(processes):
        stop(process)
    if failures:
        for name in os.listdir(work):
            if name.endswith(".log"):
                print("--- " + name)
                print(open(os.path.join(work, name)).read()[-3000:])
    shutil.rmtree(work, ignore_errors=True)

print("%d check(s) failed" % len(failures) if failures else "all checks passed")
sys.exit(1 if failures else 0)
