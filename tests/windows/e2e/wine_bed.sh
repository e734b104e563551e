# Sourced by the Windows test scripts and the Wine benches: a private X server, a private Wine
# prefix, COM ports of that prefix made of socat pty pairs, and a serial line whose one end
# becomes a COM port while the module simulator plays the other. The caller sets WINEPREFIX
# first; everything it starts is stopped on exit.

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer in a private prefix

source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/lib/processes.sh"
before_reaping() { wineserver -k 2>/dev/null; }

# need_programs ROOT SIMULATOR EXE...: each Windows program is built, or the script ends with
# status 2 saying so; the Linux simulator is built with the linux preset when it is missing.
need_programs() {
    local root=$1 sim=$2 exe
    shift 2
    for exe in "$@"; do
        [[ -f $exe ]] || { echo "missing $exe: build the windows preset first" >&2; exit 2; }
    done
    if [[ ! -x $sim ]]; then
        (cd "$root" && cmake --preset linux >/dev/null &&
            cmake --build --preset linux -j 2 --target driverpanel-sim)
    fi
}

# start_display LOG_DIR: a private X server with no window manager (the panel shows without its
# caption); exports DISPLAY. It does not reset when its last client leaves: a reset refuses
# connections for a moment, and Wine's helpers come and go before the program starts.
start_display() {
    local display_fd display_number
    exec {display_fd}<> <(:)
    Xvfb -displayfd "$display_fd" -noreset -screen 0 800x600x24 -nolisten tcp >"$1/xvfb.log" 2>&1 &
    pids+=($!)
    read -r -t 30 display_number <&"$display_fd"
    exec {display_fd}>&-
    export DISPLAY=:$display_number
}

# prepare_prefix LOG_DIR: one Wine server for the whole run, so the port links set later are not
# rewritten by a restart. On a pty hang-up the server dumps its objects: that goes to a log.
prepare_prefix() {
    echo "Preparing the Wine prefix..."
    mkdir -p "$WINEPREFIX"
    wineserver -p >>"$1/wineserver.log" 2>&1
    wineboot -i >"$1/wineboot.log" 2>&1
}

# start_module_line LOG_DIR SIMULATOR FRAME_LOG SETPOINT MAXIMUM: a socat pty pair whose end
# LOG_DIR/panel-end is for the panel, with the simulator (variant A) on the other end.
start_module_line() {
    local dir=$1 sim=$2 frame_log=$3 setpoint=$4 maximum=$5
    socat pty,raw,echo=0,link="$dir/panel-end" pty,raw,echo=0,link="$dir/module-end" \
        2>"$dir/socat.log" &
    pids+=($!)
    wait_for 10 test -e "$dir/module-end" -a -e "$dir/panel-end"
    "$sim" --device "$dir/module-end" --log "$frame_log" --variant 1 --setpoint-a "$setpoint" \
        --max-a "$maximum" >"$dir/sim.out" 2>&1 &
    pids+=($!)
}

# link_com N PATH: COM port N of the prefix is the pty behind PATH.
link_com() {
    ln -sfn "$2" "$WINEPREFIX/dosdevices/com$1"
}

# com_pair DIR A B: COM ports A and B joined by a socat pty pair (its links and log in DIR): what
# one side writes, the other reads.
com_pair() {
    local dir=$1 a=$2 b=$3
    socat pty,raw,echo=0,link="$dir/com$a" pty,raw,echo=0,link="$dir/com$b" \
        2>"$dir/socat-com$a-com$b.log" &
    pids+=($!)
    wait_for 10 test -e "$dir/com$a" -a -e "$dir/com$b" || return 1
    link_com "$a" "$dir/com$a"
    link_com "$b" "$dir/com$b"
}
