# Sourced by the scripts that start helper processes (simulator, X server, socat, Wine): each
# one's pid goes into pids, and all of them are stopped when the script exits. A script with
# more to do on exit defines before_reaping (runs once the processes are told to stop, e.g. to
# end a Wine server) or after_reaping (runs once they are gone, e.g. to remove a work folder).
pids=()
stop_started_processes() {
    set +e
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    if declare -F before_reaping >/dev/null; then
        before_reaping
    fi
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null
    done
    if declare -F after_reaping >/dev/null; then
        after_reaping
    fi
}
trap stop_started_processes EXIT

wait_for() {  # wait_for SECONDS COMMAND...: true once COMMAND succeeds, false after SECONDS
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}
