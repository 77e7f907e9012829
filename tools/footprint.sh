#!/usr/bin/env bash
# Measures VEMO's footprint under a private X server against the market simulator: the time
# from start to the first page on screen, and the resident memory once the first page shows and
# again 5 seconds after the hot key hid the window. Uses the release build (scripts/run builds
# it); pass another build folder as the first argument.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
for program in "$build/bin/VEMO" "$build/tools/marketsim/marketsim" \
               "$build/tools/demo/vemo-demo-settings"; do
    [[ -x "$program" ]] || {
        echo "missing $program: cmake --build $build --target VEMO marketsim vemo-demo-settings" >&2
        exit 2
    }
done

work=$(mktemp -d /tmp/vemo-footprint-XXXXXX)
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
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
pids+=($!)
"$build/tools/marketsim/marketsim" --port 0 >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q listening "$work/sim.log" 2>/dev/null && break; sleep 0.1; done
port=$(head -n1 "$work/sim.log" | sed 's/.*://')

mkdir -p "$work/program" "$work/config" "$work/cache" "$work/run"
chmod 700 "$work/run"
cp "$build/bin/VEMO" "$work/program/"
"$build/tools/demo/vemo-demo-settings" "$work/program" --refresh 10 \
    --codes ,1A0001,399001,399006,600000,600519,000001,300750,510050 --proxy "127.0.0.1:$port"
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run"
export http_proxy="http://127.0.0.1:$port"  # the maker's server is the simulator too
sleep 1  # let the X server and the tray settle

# Eight rows and three columns with the default font: the window is fitted to 185 x 217.
start=$(date +%s%N)
(cd "$work/program" && exec ./VEMO) >/dev/null 2>&1 &
vemo=$!
pids+=($vemo)
shown=""
while [[ -z "$shown" ]]; do
    window=$(xdotool search --class '^VemoMFrame$' 2>/dev/null | head -n1 || true)
    if [[ -n "$window" && -s "$work/cache/vemotmp.htm" ]] &&
        xwininfo -id "$window" 2>/dev/null | grep -q 'Width: 185' &&
        xwininfo -id "$window" 2>/dev/null | grep -q 'IsViewable'; then
        shown=$(date +%s%N)
    fi
    (( ($(date +%s%N) - start) / 1000000 > 20000 )) && { echo "no page within 20 s" >&2; exit 1; }
    sleep 0.002
done
echo "first page on screen: $(( (shown - start) / 1000000 )) ms after start"

# VmRSS counts library pages that other processes map too; Pss shares them out.
memory() {
    awk '/^VmRSS|^RssAnon|^RssFile/{printf "%s %s kB  ", $1, $2}' "/proc/$vemo/status"
    awk '/^Pss:/{printf "Pss: %s kB", $2}' "/proc/$vemo/smaps_rollup"
    echo
}
sleep 1
echo "visible: $(memory)"
xdotool key alt+s
sleep 5
echo "hidden 5 s after the hot key: $(memory)"
