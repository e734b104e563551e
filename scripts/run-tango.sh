#!/usr/bin/env bash
# Installs what is missing, builds, and starts the module simulator and the Tango device server
# LaserDiodeDriver on Tango's file database (no MariaDB, no TANGO_HOST): device lab/ld/1 on the
# simulator's virtual port. A python3-tango client session reads and writes the attributes, then
# the server keeps running for your own clients until Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly build=build/linux
readonly endpoint=127.0.0.1:${LDD_TANGO_PORT:-10123}

scripts/install-deps.sh build tango
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target LaserDiodeDriver driverpanel-sim

work=$(mktemp -d "${TMPDIR:-/tmp}/driverpanel-tango.XXXXXX")  # private (0700)
source scripts/lib/processes.sh
after_reaping() { rm -rf "$work"; }

export DRIVERPANEL_PORTS=$work/ports
mkdir -m 700 "$DRIVERPANEL_PORTS"
"$build/tools/simulator/driverpanel-sim" --link simulator --log "$work/simulator.log" >/dev/null &
pids+=($!)
wait_for 10 test -L "$DRIVERPANEL_PORTS/simulator" || { echo "The simulator did not start." >&2; exit 1; }

# The file database: the server, its device, and the device's properties.
cat >"$work/devices.res" <<'RES'
LaserDiodeDriver/demo/DEVICE/LaserDiodeDriver: "lab/ld/1"
lab/ld/1->Port: "simulator"
lab/ld/1->ReadOnly: false
RES
"$build/hosts/tango/LaserDiodeDriver" demo -file="$work/devices.res" \
    -ORBendPoint "giop:tcp:$endpoint" >"$work/server.log" 2>&1 &
pids+=($!)

device="tango://$endpoint/lab/ld/1#dbase=no"
/usr/bin/python3 - "$device" <<'PY'
import sys, time, tango
device = tango.DeviceProxy(sys.argv[1])
for _ in range(100):
    try:
        if device.state() == tango.DevState.ON:
            break
    except tango.DevFailed:
        pass
    time.sleep(0.1)
time.sleep(0.6)  # the first temperature and power readings
print(">>> device = tango.DeviceProxy(%r)" % sys.argv[1])
print(">>> device.state(), device.status()\n", device.state(), device.status())
for name in ("Current", "CurrentMax", "Temperature", "Power", "Variant", "Port"):
    value = device.read_attribute(name)
    print(">>> device.%s\n %s %s" % (name, value.value, device.get_attribute_config(name).unit))
device.Current = 120
print(">>> device.Current = 120\n>>> device.Current\n", device.Current)
device.Current = 900
print(">>> device.Current = 900   # above CurrentMax: held to it\n>>> device.Current\n",
      device.Current)
PY
echo
echo "LaserDiodeDriver runs: device $device"
echo "(for example: /usr/bin/python3 -c \"import tango; print(tango.DeviceProxy('$device').Temperature)\")"
echo "Ctrl-C stops the server and the simulator."
wait "${pids[1]}"
