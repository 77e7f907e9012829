# Shared by the end-to-end scripts (sourced, not run): a work folder that goes away at the end,
# named checks, waits, a private X server with a tray, the market simulator, and the summary.
#
#   source "$(dirname "$0")/../support/e2e.sh"
#   e2e_begin NAME          # sets $work; VEMO_E2E_KEEP=1 keeps it (screenshots, logs)
#   e2e_start_x_server      # exports DISPLAY
#   e2e_start_tray
#   e2e_start_simulator MARKETSIM [OPTION...]   # sets $port
#   check NAME COMMAND...
#   e2e_end                 # prints VEMO's output on failure, the summary, and sets the status
#
# A script may define e2e_extra_cleanup, which runs first at the end.

# One-time allocations of system libraries that live until exit are no leaks of ours.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/lsan.supp:${LSAN_OPTIONS:-}"

failures=0
passes=0
pids=()

e2e_cleanup() {
    if declare -F e2e_extra_cleanup >/dev/null; then
        e2e_extra_cleanup
    fi
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    if [[ -n "${VEMO_E2E_KEEP:-}" ]]; then
        echo "kept $work"
    else
        rm -rf "$work"
    fi
}

e2e_begin() {  # e2e_begin NAME
    work=$(mktemp -d "/tmp/vemo-$1-XXXXXX")
    trap e2e_cleanup EXIT
}

check() {  # check NAME COMMAND...
    local name=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
        echo "ok: $name"
    else
        failures=$((failures + 1))
        echo "FAILED: $name"
    fi
}

fatal() {
    echo "FAILED: $*"
    if [[ -f "$work/vemo.log" ]]; then
        echo "--- VEMO's output"
        cat "$work/vemo.log"
    fi
    echo "$passes passed, $((failures + 1)) failed"
    exit 1
}

until_true() {  # until_true SECONDS COMMAND...: retries the command every 0.1 s
    local deadline=$((SECONDS + $1))
    shift
    while ((SECONDS < deadline)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# A private X server with a black root window. The server writes its display number once it
# accepts clients; the whole line must be there before it is read.
e2e_start_x_server() {
    Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp -br 5>"$work/display" \
        2>"$work/xvfb.log" &
    pids+=($!)
    until_true 20 grep -qx '[0-9][0-9]*' "$work/display" || fatal "no X server"
    export DISPLAY=":$(head -n1 "$work/display")"
}

tray_shown() { xwininfo -root -tree 2>/dev/null | grep -q '"panel"'; }

# A tray in the top right corner. A tray that does not come up (seen once on a loaded machine,
# without a word from it) is started again; its output is shown when it never comes.
e2e_start_tray() {
    local attempt tray
    for attempt in 1 2 3; do
        trayer --edge top --align right --widthtype request --height 24 --transparent false \
            >>"$work/trayer.log" 2>&1 &
        tray=$!
        if until_true 15 tray_shown; then
            pids+=($tray)
            return 0
        fi
        echo "tray not up after attempt $attempt" >>"$work/trayer.log"
        kill "$tray" 2>/dev/null
        wait "$tray" 2>/dev/null
    done
    cat "$work/trayer.log"
    fatal "no tray"
}

e2e_start_simulator() {  # e2e_start_simulator MARKETSIM [OPTION...]: sets $port
    local program=$1
    shift
    "$program" --port 0 "$@" >"$work/sim.out" 2>&1 &
    pids+=($!)
    until_true 20 grep -q listening "$work/sim.out" || fatal "no simulator"
    port=$(head -n1 "$work/sim.out" | sed 's/.*://')
}

e2e_end() {
    if ((failures > 0)) && [[ -f "$work/vemo.log" ]]; then
        echo "--- VEMO's output"
        cat "$work/vemo.log"
    fi
    echo "$passes passed, $failures failed"
    ((failures == 0))
}
