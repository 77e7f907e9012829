#!/usr/bin/env bash
# Counts VEMO's wake-ups under a private X server against the market simulator: the context
# switches of all its threads (/proc/PID/task/*/status) over a window of SECONDS (default 60),
# once hidden and once shown between refreshes with a 10-second period, with the CPU time of
# each refresh and the private anonymous memory (/proc/PID/smaps_rollup). Outside trading hours
# VEMO runs on a clock (faketime) that starts at 10:00 of the last weekday, so timed refreshes
# run. Uses the release build (scripts/run builds it); pass another build folder as the first
# argument. Not a test: the figures depend on the machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
seconds=${2:-60}
for program in "$build/bin/VEMO" "$build/tools/marketsim/marketsim" \
               "$build/tools/demo/vemo-demo-settings"; do
    [[ -x "$program" ]] || {
        echo "missing $program: cmake --build $build --target VEMO marketsim vemo-demo-settings" >&2
        exit 2
    }
done
for tool in Xvfb xdotool faketime; do
    command -v "$tool" >/dev/null || { echo "missing $tool: scripts/install-deps --test" >&2; exit 2; }
done

work=$(mktemp -d /tmp/vemo-wakeups-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
"$build/tools/marketsim/marketsim" --port 0 --verbose >"$work/sim.log" 2>"$work/requests.log" &
pids+=($!)
for _ in $(seq 100); do grep -q listening "$work/sim.log" 2>/dev/null && break; sleep 0.1; done
port=$(head -n1 "$work/sim.log" | sed 's/.*://')

mkdir -p "$work/program" "$work/config" "$work/cache" "$work/run"
chmod 700 "$work/run"
cp "$build/bin/VEMO" "$work/program/"
"$build/tools/demo/vemo-demo-settings" "$work/program" --refresh 10 \
    --codes ,1A0001,399001,399006,600000,600519,000001,300750,510050 --proxy "127.0.0.1:$port"
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run"
export http_proxy="http://127.0.0.1:$port"

clock=()
if ! [[ $(date +%u) -le 5 && 10#$(date +%H) -ge 9 && 10#$(date +%H) -le 15 ]]; then
    day=$(date +%F)
    while [[ $(date -d "$day" +%u) -gt 5 ]]; do day=$(date -d "$day - 1 day" +%F); done
    clock=(env DONT_FAKE_MONOTONIC=1 faketime -f "@$day 10:00:00")
fi
(cd "$work/program" && exec "${clock[@]}" ./VEMO) >/dev/null 2>&1 &
vemo=$!
pids+=($vemo)
# faketime may start VEMO as its child rather than become it.
pid=""
for _ in $(seq 100); do
    for candidate in "$vemo" $(pgrep -P "$vemo" 2>/dev/null || true); do
        if grep -q '^Name:[[:space:]]*VEMO' "/proc/$candidate/status" 2>/dev/null; then
            pid=$candidate
        fi
    done
    [[ -n "$pid" ]] && break
    sleep 0.1
done
[[ -n "${pid:-}" ]] || { echo "VEMO did not start" >&2; exit 1; }
for _ in $(seq 200); do [[ -s "$work/cache/vemotmp.htm" ]] && break; sleep 0.1; done
sleep 3

switches() {
    cat /proc/"$pid"/task/*/status 2>/dev/null |
        awk '/^voluntary_ctxt_switches|^nonvoluntary_ctxt_switches/{n += $2} END {print n}'
}
cpu_ticks() {
    awk '{print $14 + $15}' "/proc/$pid/stat"
}
requests() {
    grep -c 'hq.sinajs.cn' "$work/requests.log" 2>/dev/null || true
}
anon() {
    awk '/^Anonymous:/{printf "%s kB private anonymous", $2}' "/proc/$pid/smaps_rollup"
}
hz=$(getconf CLK_TCK)

# The whole window: wake-ups, refreshes (from the simulator's log) and CPU per refresh.
measure() {
    local label=$1 s0 c0 r0
    s0=$(switches); c0=$(cpu_ticks); r0=$(requests)
    sleep "$seconds"
    awk -v label="$label" -v n="$(($(switches) - s0))" -v s="$seconds" \
        -v r="$(($(requests) - r0))" -v t="$(($(cpu_ticks) - c0))" -v hz="$hz" \
        'BEGIN {
            printf "%s: %d wake-ups in %d s (%.2f/s), %d refreshes", label, n, s, n / s, r
            if (r > 0) printf ", %.1f ms CPU per refresh", t * 1000 / hz / r
            printf "\n"
        }'
}

# Between refreshes: from 1 s after a refresh to 2 s before the next, over the periods of one
# window, so the refreshes' own work is left out.
between() {
    local total=0 spans=0 r0 a
    while ((spans * 10 < seconds)); do
        r0=$(requests)
        while [[ $(requests) == "$r0" ]]; do sleep 0.05; done
        sleep 1
        a=$(switches)
        sleep 7
        total=$((total + $(switches) - a))
        spans=$((spans + 1))
    done
    awk -v n="$total" -v s="$((spans * 7))" \
        'BEGIN { printf "shown between refreshes: %d wake-ups in %d s (%.2f/s)\n", n, s, n / s }'
}

xdotool key alt+s  # hide
sleep 3
measure "hidden"
echo "hidden: $(anon)"
xdotool key alt+s  # show
sleep 3
measure "shown"
between
echo "shown: $(anon)"
