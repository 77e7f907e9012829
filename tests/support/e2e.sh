# Shared by the end-to-end scripts (sourced, not run): a work folder that goes away at the end,
# named checks, waits, a private X server with a tray, the market simulator, and the summary.
#
#   source "$(dirname "$0")/../support/e2e.sh"
#   e2e_begin NAME          # sets $work; VEMO_E2E_KEEP=1 keeps it (screenshots, logs)
#   e2e_start_x_server      # exports DISPLAY
#   e2e_start_tray
#   e2e_start_simulator MARKETSIM [OPTION...]   # sets $port
#   e2e_start_fixed_market MARKETSIM            # the same, with the fixed quotes
#   e2e_user_folders        # private XDG folders; quote and maker's requests go to the simulator
#   e2e_start_vemo PROGRAM  # sets $vemo_pid; its output goes to $work/vemo.log
#   check NAME COMMAND...
#   until_true SECONDS COMMAND...
#   e2e_end                 # prints VEMO's output on failure, the summary, and sets the status
#
# and for looking at the screen: ticker_window, map_state, is_state, geometry, tray_icon,
# menu_shown, ended.
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

# Private per-user folders (config, cache, runtime) under $work, and http_proxy pointing at the
# simulator: the maker's server (the notice check at start) is the simulator too, never the
# internet.
e2e_user_folders() {
    mkdir -p "$work/config" "$work/cache" "$work/run"
    chmod 700 "$work/run"
    export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run"
    unset HTTP_PROXY no_proxy NO_PROXY
    export http_proxy="http://127.0.0.1:$port"
}

e2e_start_vemo() {  # e2e_start_vemo PROGRAM: started from / so that it finds its folder itself
    (cd / && exec "$1") >"$work/vemo.log" 2>&1 &
    vemo_pid=$!
    pids+=($vemo_pid)
}

ended() { ! kill -0 "$vemo_pid" 2>/dev/null; }
ticker_window() { xdotool search --class '^VemoMFrame$' 2>/dev/null | head -n1; }
map_state() { xwininfo -id "$1" 2>/dev/null | sed -n 's/.*Map State: //p'; }
is_state() { [[ "$(map_state "$1")" == "$2" ]]; }  # is_state ID IsViewable|IsUnMapped
geometry() {  # prints X Y W H of a window
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}
# Windows of VEMO's own class: the tray icon inside the tray, and its pop-up menus right under
# the root (the ticker has a class of its own). xwininfo -root -tree or -root -children.
vemo_class_windows() { xwininfo "$@" | awk '/\("VEMO" "VEMO"\)/{print $1}'; }
tray_icon() {  # prints the centre of the tray icon
    local id x y w h
    id=$(vemo_class_windows -root -tree \
        | grep -vxF -f <(vemo_class_windows -root -children; echo none) | head -n1)
    [[ -n "$id" ]] || return 1
    read -r x y w h < <(geometry "$id")
    echo $((x + w / 2)) $((y + h / 2))
}
menu_shown() {
    local id
    for id in $(vemo_class_windows -root -children); do
        is_state "$id" IsViewable && return 0
    done
    return 1
}

# The simulator with fixed quotes (tests/support/fixed-quotes.txt) that stand still, at a fixed
# time: every run sees the same page.
e2e_start_fixed_market() {  # e2e_start_fixed_market MARKETSIM: sets $port
    e2e_start_simulator "$1" --frozen --time '2026-12-07 10:30:00' \
        --quotes "$(dirname "${BASH_SOURCE[0]}")/fixed-quotes.txt"
}

e2e_end() {
    if ((failures > 0)) && [[ -f "$work/vemo.log" ]]; then
        echo "--- VEMO's output"
        cat "$work/vemo.log"
    fi
    echo "$passes passed, $failures failed"
    ((failures == 0))
}
