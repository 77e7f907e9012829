#!/usr/bin/env bash
# Price alerts end to end: the real ticker on a private X server and a private session bus with
# a notification service that records every call, the simulator moving a price across a line,
# dancing around it and coming back, and a price of 0 below another line.
set -u

vemo=$1 marketsim=$2 demosettings=$3 fakenotifications=$4
source "$(dirname "$0")/../support/e2e.sh"
e2e_begin alerts_e2e

e2e_start_x_server
e2e_start_tray
e2e_start_simulator "$marketsim" --frozen

# The bus and the service.
dbus-daemon --config-file="$(dirname "$0")/../support/private-bus.conf" --nofork \
    --print-address=1 >"$work/bus.address" 2>"$work/bus.log" &
pids+=($!)
until_true 10 test -s "$work/bus.address" || fatal "no session bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus.address")
notes="$work/notifications.txt"
: >"$notes"
"$fakenotifications" "$notes" >"$work/fake.out" 2>&1 &
pids+=($!)
until_true 10 grep -q ready "$work/fake.out" || fatal "no notification service"

set_price() {  # set_price SYMBOL PRICE
    curl -s -o /dev/null -X POST \
        "http://127.0.0.1:$port/_sim/quote?symbol=$1&prevclose=10&open=10&price=$2&high=10.8&low=9.7&volume=1000&amount=10000"
}
set_price sh600000 10.40
set_price sz000002 0

mkdir -p "$work/program"
cp "$vemo" "$work/program/VEMO"
"$demosettings" "$work/program" --codes ,600000,000002 --proxy "127.0.0.1:$port" \
    || fatal "settings not written"
e2e_user_folders
mkdir -p "$work/config/Quorvane/VemoMonitor"
printf '[600000]\nabove=10.50\n[000002]\nbelow=9.00\nfallBelow=3\n' \
    >"$work/config/Quorvane/VemoMonitor/alerts.ini"
page="$work/cache/vemotmp.htm"

e2e_start_vemo "$work/program/VEMO"
until_true 20 test -s "$page" || fatal "no page file"
win=""
until_true 10 test -n "$(ticker_window)" && win=$(ticker_window)
[[ -n "$win" ]] || fatal "no ticker window"
until_true 10 is_state "$win" IsViewable || fatal "ticker window not shown"

count() { wc -l <"$notes"; }
# One manual refresh at PRICE (the strip's refresh button; one within 5 seconds is dropped).
refresh_at() {
    set_price sh600000 "$1"
    sleep 5.5
    local x y w h
    read -r x y w h < <(geometry "$win")
    xdotool mousemove $((x + w - 8)) $((y + 6)) click 1
    until_true 10 grep -q ">$1<" "$page" || echo "page never showed $1"
    sleep 1  # the notification call is asynchronous
}
check "no alert at the start below the line, nor for a price of 0" test "$(count)" -eq 0
refresh_at 10.55
check "crossing the line notifies once" test "$(count)" -eq 1
check "summary names the share and the price" grep -q "^浦发银行 600000 涨到 10.55	" "$notes"
check "body names the rule" grep -q "提醒: 高于 10.50" "$notes"
check "arguments: application, desktop entry, urgency, time-out" \
    grep -qP '\tVEMO\t[^\t]*\tVEMO\t1\t-1$' "$notes"
check "the row is marked" grep -q 'class="cup" bgcolor=' "$page"
refresh_at 10.45
refresh_at 10.60
check "dancing around the line does not notify again" test "$(count)" -eq 1
refresh_at 10.30
refresh_at 10.51
check "back by 1% and across again notifies again" test "$(count)" -eq 2
check "the price of 0 never fired" test "$(grep -c 000002 "$notes")" -eq 0

e2e_end
