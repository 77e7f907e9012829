#!/usr/bin/env bash
# The real ticker program under a private X server with a tray, against the market simulator:
# page file, window size, colours, hot key, second start, tray icon and menu, transparency,
# hide at start, and the settings saved at the end.
set -u

vemo=$1 marketsim=$2 vemoquote=$3 demosettings=$4
source "$(dirname "$0")/../support/e2e.sh"
e2e_begin e2e

# A private X server with a black root window, and a tray.
e2e_start_x_server
e2e_start_tray

e2e_start_fixed_market "$marketsim"

mkdir -p "$work/program"
cp "$vemo" "$work/program/VEMO"
"$demosettings" "$work/program" --codes ,600000,000002,1A0001 --proxy "127.0.0.1:$port" \
    || fatal "settings not written"
e2e_user_folders
page="$work/cache/vemotmp.htm"

e2e_start_vemo "$work/program/VEMO"
until_true 20 test -s "$page" || fatal "no page file"
win=""
until_true 10 test -n "$(ticker_window)" && win=$(ticker_window)
[[ -n "$win" ]] || fatal "no ticker window"
until_true 10 is_state "$win" IsViewable || fatal "ticker window not shown"

# The page on screen is the one the terminal tool renders for the same settings.
"$vemoquote" page "$work/program" >"$work/expected.htm" 2>"$work/shape.txt"
check "page file holds the rendered page" until_true 10 cmp -s "$page" "$work/expected.htm"
read -r rows cols < <(sed 's/rows=\([0-9]*\) cols=\([0-9]*\).*/\1 \2/' "$work/shape.txt")
expected_w=$((20 + 55 * cols))
expected_h=$((18 * rows + 18 + 35 + 18 + 2))
fitted() { read -r _ _ w h < <(geometry "$win"); [[ "$w $h" == "$expected_w $expected_h" ]]; }
check "window fitted to $rows x $cols table (${expected_w}x$expected_h)" until_true 5 fitted

# Rising rows red, falling rows green, on the background colour.
window_shows() {  # window_shows COLOUR: the colour is in the window's part of the screen
    local x y w h
    read -r x y w h < <(geometry "$win")
    import -window root "$work/shot.png"
    convert "$work/shot.png" -crop "${w}x${h}+${x}+${y}" +repage -format %c histogram:info:- \
        | grep -q "$1"
}
check "rising row in red" until_true 5 window_shows '#FF0000'
check "falling row in green" until_true 5 window_shows '#009900'
check "background colour" until_true 5 window_shows '#FFFFE6'

# The hot key hides and shows the window.
xdotool key alt+s
check "hot key hides" until_true 5 is_state "$win" IsUnMapped
xdotool key alt+s
check "hot key shows" until_true 5 is_state "$win" IsViewable

# A second start wakes the first and ends with status 0: it did what was asked.
xdotool key alt+s
until_true 5 is_state "$win" IsUnMapped
(cd / && timeout 20 "$work/program/VEMO" >/dev/null 2>&1)
check "second start exits with 0" test $? -eq 0
check "second start shows the first" until_true 5 is_state "$win" IsViewable

# The tray icon: a double click shows the window, a right click opens the menu.
xdotool key alt+s
until_true 5 is_state "$win" IsUnMapped
read -r tx ty < <(tray_icon) || fatal "no tray icon"
xdotool mousemove "$tx" "$ty" click --repeat 2 --delay 80 1
check "tray double click shows" until_true 5 is_state "$win" IsViewable
xdotool mousemove "$tx" "$ty" click 3
check "tray right click opens the menu" until_true 5 menu_shown
# Transparent is the second item. The pointer leaves the window, so no title strip shows.
xdotool key Down Down Return
xdotool mousemove 5 700
# A point of the background below the table: see-through, so the black root shows.
see_through() {
    read -r x y w h < <(geometry "$win")
    import -window root "$work/transparent.png"
    pixel=$(convert "$work/transparent.png" -crop "1x1+$((x + w / 2))+$((y + h - 4))" +repage \
        -format '%[hex:u.p{0,0}]' info:-)
    [[ "$pixel" == 000000 ]]
}
check "background is see-through when transparent" until_true 5 see_through
quote_pixels=$(convert "$work/transparent.png" -crop "${w}x${h}+${x}+${y}" +repage \
    -format %c histogram:info:- | grep -c '#FF0000\|#009900')
check "quotes stay visible when transparent" test "$quote_pixels" -ge 1

# Exit from the menu (the last item) ends the program and saves the window state. Two right
# clicks on the icon within the double-click time (400 ms) would make one double click.
sleep 1
xdotool mousemove "$tx" "$ty" click 3
until_true 5 menu_shown || fatal "no menu for Exit"
xdotool key Up Return
check "exit ends the program" until_true 10 ended
wait "$vemo_pid"
status=$?
check "program ended cleanly (status $status)" test "$status" -eq 0
((status == 0)) || cat "$work/vemo.log"
saved=$("$vemoquote" settings "$work/program")
check "settings complete after the end" grep -q '^complete=1$' <<<"$saved"
check "window state saved" grep -q "^windowRect=$x,$y,$((x + w)),$((y + h))\$" <<<"$saved"
check "transparency saved" grep -q '^transparent=1$' <<<"$saved"
check "window state read" grep -q '^windowStateRead=1$' <<<"$saved"

# Hide at start: the window never shows during start-up; the hot key shows it.
"$demosettings" "$work/program" --codes ,600000 --proxy "127.0.0.1:$port" --option-flags 0x1A \
    || fatal "settings not written"
rm -f "$page"
e2e_start_vemo "$work/program/VEMO"
until_true 20 test -s "$page" || fatal "no page file with hide at start"
# The first page has been shown (or not): give the window a moment in which it could show.
sleep 1.5
win=$(ticker_window)
check "hidden at start" test -z "$win" -o "$(map_state "$win")" != IsViewable
xdotool key alt+s
until_true 5 test -n "$(ticker_window)"
win=$(ticker_window)
check "hot key shows a window hidden at start" until_true 5 is_state "$win" IsViewable
kill -TERM "$vemo_pid"
check "SIGTERM ends the program" until_true 10 ended
wait "$vemo_pid"
check "SIGTERM end is clean" test $? -eq 0

e2e_end
