#!/usr/bin/env bash
# The real program in a Wayland session (a headless weston): with an X server beside it VEMO runs
# on X11; on Wayland alone it runs, says what the compositor does not allow, and SIGTERM ends it
# as 退出 does, saving its settings, whether or not its window was ever shown.
set -u

vemo=$1 marketsim=$2 vemoquote=$3 demosettings=$4
source "$(dirname "$0")/../support/e2e.sh"
e2e_begin wayland

command -v weston >/dev/null || fatal "weston is not installed (scripts/install-deps --test)"

e2e_start_fixed_market "$marketsim"
mkdir -p "$work/program"
cp "$vemo" "$work/program/VEMO"
"$demosettings" "$work/program" --codes ,600000,000002 --proxy "127.0.0.1:$port" \
    || fatal "settings not written"
e2e_user_folders
page="$work/cache/vemotmp.htm"

# A compositor of our own in the private runtime folder.
XDG_RUNTIME_DIR="$work/run" weston --backend=headless-backend.so --socket=wayland-vemo \
    --idle-time=0 >"$work/weston.log" 2>&1 &
pids+=($!)
until_true 20 test -S "$work/run/wayland-vemo" || fatal "no compositor"
export WAYLAND_DISPLAY=wayland-vemo
unset QT_QPA_PLATFORM

# Wayland alone. Qt's Wayland plugin and the Wayland client library keep allocations until exit
# that the leak checker cannot tell from ours (the plugin is unloaded by then): no leak check
# for these runs; the X11 run below keeps it.
unset DISPLAY
saved_asan=${ASAN_OPTIONS:-}
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
ends_on_sigterm() {  # ends_on_sigterm NAME: the started VEMO ends on SIGTERM, cleanly and saved
    rm -f "$work/program/vemo.ini.check"
    kill -TERM "$vemo_pid"
    check "$1: SIGTERM ends the program" until_true 10 ended
    wait "$vemo_pid"
    local status=$?
    check "$1: SIGTERM end is clean (status $status)" test "$status" -eq 0
    check "$1: settings saved at the end" grep -q '^complete=1$' \
        <("$vemoquote" settings "$work/program")
}
e2e_start_vemo "$work/program/VEMO"
until_true 20 test -s "$page" || fatal "no page file on Wayland"
check "runs on Wayland when there is no X server" until_true 5 grep -q 'Wayland' "$work/vemo.log"
check "says what the compositor does not allow, once each" \
    test "$(grep -c 'Wayland 桌面不' "$work/vemo.log")" -eq 4
rm "$work/program/vemo.ini"
ends_on_sigterm "Wayland"

# Hidden at start: its window was never shown.
"$demosettings" "$work/program" --codes ,600000 --proxy "127.0.0.1:$port" --option-flags 0x1A \
    || fatal "settings not written"
rm -f "$page"
e2e_start_vemo "$work/program/VEMO"
until_true 20 test -s "$page" || fatal "no page file with hide at start"
rm "$work/program/vemo.ini"
ends_on_sigterm "Wayland, never shown"

# An X server beside the compositor: VEMO runs on it, where it can be a ticker.
export ASAN_OPTIONS=$saved_asan
"$demosettings" "$work/program" --codes ,600000 --proxy "127.0.0.1:$port" \
    || fatal "settings not written"
e2e_start_x_server
e2e_start_vemo "$work/program/VEMO"
until_true 20 test -n "$(ticker_window)" || true
check "with DISPLAY set it runs on X11" test -n "$(ticker_window)"
check "nothing said about Wayland" bash -c "! grep -q Wayland '$work/vemo.log'"
kill -TERM "$vemo_pid"
check "X11: SIGTERM ends the program" until_true 10 ended

e2e_end
