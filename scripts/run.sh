#!/usr/bin/env bash
# Installs what is missing, builds, starts the module simulator on a virtual port and opens the
# panel on it. With a display, the panel is yours: pick "simulator" in PortList and press
# OpenPort; the simulator stops when the panel closes. Without a display ($DISPLAY empty), the
# panel runs on a virtual framebuffer recording its readings, is operated for a few seconds
# (port opened, readings awaited, trend window opened with Ctrl+T), and screenshots of both
# windows and the recording are saved under artifacts/.
# With --windows: the Windows program instead, under Wine on a private virtual framebuffer,
# recording with --record and operated by the end-to-end driver (port opened, trend window
# opened with Ctrl+T); its screenshots and recording go to artifacts/windows/.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ ${1:-} == --windows ]]; then
    scripts/install-deps.sh build windows
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j "$(nproc)" --target DriverPanel driverpanel_e2e_driver
    cmake --preset linux >/dev/null
    cmake --build --preset linux -j "$(nproc)" --target driverpanel-sim
    exec tests/windows/e2e/run_trend_e2e.sh build/windows build/linux/tools/simulator/driverpanel-sim \
        "$PWD/artifacts/windows"
fi

readonly title="Orlevan D20220513"
readonly build=build/linux
readonly artifacts=$PWD/artifacts

scripts/install-deps.sh build
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target driverpanel driverpanel-sim

work=$(mktemp -d "${TMPDIR:-/tmp}/driverpanel-run.XXXXXX")  # private (0700)
source scripts/lib/processes.sh
after_reaping() { rm -rf "$work"; }

# Qt wants a private runtime directory; a root shell or sudo often has none.
if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
    export XDG_RUNTIME_DIR=$work/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
fi
# The panel lists every link in this directory as a port; the simulator places its own there.
export DRIVERPANEL_PORTS=$work/ports
mkdir -m 700 "$DRIVERPANEL_PORTS"
mkdir -p "$artifacts"
simlog=$artifacts/simulator.log
"$build/tools/simulator/driverpanel-sim" --link simulator --log "$simlog" >"$work/sim.out" &
pids+=($!)

if ! wait_for 10 test -L "$DRIVERPANEL_PORTS/simulator"; then
    echo "The simulator did not start." >&2
    exit 1
fi
echo "Simulated module on $(head -n 1 "$work/sim.out") (port \"simulator\"), log: $simlog"

if [[ -n "${DISPLAY:-}" ]]; then
    "$build/hosts/qt/driverpanel"
    exit 0
fi

# --- No display: a virtual framebuffer, and the panel operated from the keyboard. ---
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
pids+=($!)
wait_for 10 test -s "$work/display" || { echo "Xvfb did not start." >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"

"$build/hosts/qt/driverpanel" --record "$artifacts/readings.csv" &
panel=$!
pids+=("$panel")
window=$(timeout 20 xdotool search --sync --name "$title" | head -n 1) ||
    { echo "The panel did not appear." >&2; exit 1; }

# Focus starts on OpenPort. Tab twice to PortList, End picks the last port (virtual ports come
# after the machine's own), back to OpenPort and press it.
xdotool windowfocus --sync "$window"
xdotool key --window "$window" Tab Tab End shift+Tab shift+Tab space

# Readings are on show once the module has answered a few power queries.
polled_power() { (($(grep -c 'RX EF EF 02 22 02 valid' "$simlog") >= 3)); }
if ! wait_for 20 polled_power; then
    echo "The panel did not poll the simulator; see $simlog" >&2
    exit 1
fi
import -window "$window" "$artifacts/panel.png"
echo "The panel read the simulator; screenshot: $artifacts/panel.png"

# The trend window, on its 1-minute span (its first button has the focus), after some readings.
xdotool key --window "$window" ctrl+t
trend=$(timeout 10 xdotool search --sync --onlyvisible --name "Readings over time" | head -n 1) ||
    { echo "The trend window did not open with Ctrl+T." >&2; exit 1; }
xdotool windowfocus --sync "$trend"
xdotool key --window "$trend" space
sleep 8
import -window "$trend" "$artifacts/trend.png"
echo "The trend window: $artifacts/trend.png; the recording: $artifacts/readings.csv"

# Close the panel as its close box does (WM_DELETE_WINDOW), with the port still open: the
# program must end at once.
python3 - "$window" <<'PY'
import ctypes, sys
x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                           ctypes.c_void_p]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]

display = x11.XOpenDisplay(None)
window = int(sys.argv[1])
event = ClientMessage(type=33, window=window, format=32,
                      message_type=x11.XInternAtom(display, b"WM_PROTOCOLS", 0))
event.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
x11.XFlush(display)
x11.XCloseDisplay(display)
PY
panel_gone() { ! kill -0 "$panel" 2>/dev/null; }
if wait_for 5 panel_gone; then
    echo "The panel closed with its port open and the program ended."
else
    echo "The panel did not end after its close box." >&2
    exit 1
fi
