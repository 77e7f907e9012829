#!/usr/bin/env bash
# The real ticker program with holdings, against the market simulator's fixed quotes: the page
# file is the terminal tool's page with the profit columns and the row of sums, the window fits
# the wider table, and a bad value in the holdings file is named once on standard error.
# VEMO_E2E_SHOT=FILE keeps a screenshot of the window.
set -u

vemo=$1 marketsim=$2 vemoquote=$3 demosettings=$4
source "$(dirname "$0")/../support/e2e.sh"
e2e_begin holdings

e2e_start_x_server
e2e_start_tray
e2e_start_fixed_market "$marketsim"

mkdir -p "$work/program"
cp "$vemo" "$work/program/VEMO"
"$demosettings" "$work/program" --codes ,600000,000002,1A0001 --proxy "127.0.0.1:$port" \
    || fatal "settings not written"
e2e_user_folders
mkdir -p "$work/config/Quorvane/VemoMonitor"
holdings="$work/config/Quorvane/VemoMonitor/holdings.ini"
# 600000: 7.50 -> 7.60; 000002: 9.80 -> 9.61; 399001 is not listed and has a bad value.
printf '[600000]\nshares=1000000\ncost=7.123\n[000002]\nshares=500\ncost=10\n[399001]\nshares=x\n' \
    >"$holdings"
page="$work/cache/vemotmp.htm"

e2e_start_vemo "$work/program/VEMO"
until_true 20 test -s "$page" || fatal "no page file"
win=""
until_true 10 test -n "$(ticker_window)" && win=$(ticker_window)
[[ -n "$win" ]] || fatal "no ticker window"
until_true 10 is_state "$win" IsViewable || fatal "ticker window not shown"

"$vemoquote" page "$work/program" >"$work/expected.htm" 2>"$work/shape.txt"
check "page file holds the rendered page with holdings" until_true 10 cmp -s "$page" "$work/expected.htm"
utf8=$(iconv -f GBK -t UTF-8 "$page")
check "today's profit of a million shares" grep -q '<td class="cup" nowrap>+100000.00</td><td class="cup" nowrap>+477000.00</td>' <<<"$utf8"
check "a loss in the down colour" grep -q '<td class="cdn" nowrap>-95.00</td><td class="cdn" nowrap>-195.00</td>' <<<"$utf8"
check "the row of sums" grep -q '合计</td><td></td><td class="cup" nowrap>+1.33%</td><td class="cup" nowrap>+99905.00</td><td class="cup" nowrap>+476805.00</td>' <<<"$utf8"
check "the shape counts the columns and the sums" grep -q '^rows=4 cols=7 ' "$work/shape.txt"

expected_w=$((20 + 55 * 7))
expected_h=$((18 * 4 + 18 + 35 + 18 + 2))
fitted() { read -r _ _ w h < <(geometry "$win"); [[ "$w $h" == "$expected_w $expected_h" ]]; }
check "window fitted to the wider table (${expected_w}x$expected_h)" until_true 5 fitted

sleep 1
read -r x y w h < <(geometry "$win")
import -window root "$work/shot.png"
convert "$work/shot.png" -crop "${w}x${h}+${x}+${y}" +repage "$work/window.png"
if [[ -n "${VEMO_E2E_SHOT:-}" ]]; then
    cp "$work/window.png" "$VEMO_E2E_SHOT"
fi

kill -TERM "$vemo_pid"
check "SIGTERM ends the program" until_true 10 ended
wait "$vemo_pid"
check "the bad value is named once" test "$(grep -c '\[399001\] shares=x' "$work/vemo.log")" -eq 1
check "the holdings file is not rewritten" grep -q '^shares=x$' "$holdings"

e2e_end
