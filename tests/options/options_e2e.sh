#!/usr/bin/env bash
# The options dialog in the real ticker under a private X server, against the market simulator,
# driven with keys as a user would: OK with a changed watch list re-fits the window and reaches
# the page, vemo.ini and the per-user store; Cancel changes nothing but the start at log-on; a
# stored bad code keeps the dialog open with its message; the hot key is free while the dialog is
# open and works again after it.
set -u

vemo=$1 marketsim=$2 vemoquote=$3 demosettings=$4
source "$(dirname "$0")/../support/e2e.sh"
e2e_begin options

e2e_start_x_server

e2e_start_fixed_market "$marketsim"

# A program folder with a blank in its name, as the start-at-log-on entry must cope with.
program="$work/my programs"
mkdir -p "$program"
cp "$vemo" "$program/VEMO"
e2e_user_folders
page="$work/cache/vemotmp.htm"
store="$work/config/Quorvane/VemoMonitor/registry"
autostart="$work/config/autostart/VEMO.desktop"

start_vemo() {  # start_vemo CODES
    "$demosettings" "$program" --codes "$1" --proxy "127.0.0.1:$port" \
        || fatal "settings not written"
    rm -f "$page"
    e2e_start_vemo "$program/VEMO"
    until_true 20 test -s "$page" || fatal "no page file"
    win=""
    until_true 10 test -n "$(ticker_window)" && win=$(ticker_window)
    [[ -n "$win" ]] || fatal "no ticker window"
    until_true 10 is_state "$win" IsViewable || fatal "ticker window not shown"
}
stop_vemo() {
    kill -TERM "$vemo_pid"
    until_true 10 ended || fatal "VEMO did not end"
    wait "$vemo_pid"
    check "VEMO ended cleanly" test $? -eq 0
}
dialog() { xdotool search --onlyvisible --name '^VEMO Marnel$' 2>/dev/null | head -n1; }
dialog_open() { [[ -n "$(dialog)" ]]; }
dialog_closed() { [[ -z "$(dialog)" ]]; }
height_is() { read -r _ _ _ h < <(geometry "$win"); [[ "$h" == "$1" ]]; }
page_shows() { iconv -f GBK -t UTF-8 "$page" 2>/dev/null | grep -q "$1"; }
# Settings is the fifth command of the menu the title strip opens on a right click.
open_settings() {
    local x y w h
    read -r x y w h < <(geometry "$win")
    xdotool mousemove $((x + w / 2)) $((y + 7)) click 3
    until_true 5 menu_shown || return 1
    xdotool key Down Down Down Down Down Return
    until_true 10 dialog_open
}
# Red pixels in the status line's part of the dialog (its bottom left).
status_red_pixels() {
    local x y w h
    read -r x y w h < <(geometry "$(dialog)")
    import -window root "$work/shot.png"
    convert "$work/shot.png" -crop "$((w / 2))x36+${x}+$((y + h - 36))" +repage \
        -fx 'r > 0.7 && g < 0.4 && b < 0.4' -format '%[fx:round(mean * w * h)]' info:-
}
status_is_red() { red_after=$(status_red_pixels) && ((red_after > 20)); }
# Tab order of the display page from the tab strip: the five columns, the custom colours box,
# the five swatches, then the window options; "开机自动运行" is the seventeenth.
RunAtStartupTabs=17

start_vemo ,600000,000002
read -r _ _ _ h0 < <(geometry "$win")

# --- OK with one more code.
check "设置 opens the dialog" open_settings
xdotool key alt+s
sleep 0.5
check "the hot key is free while the dialog is open" is_state "$win" IsViewable
# The key reached the entry field instead (as a letter): clear it.
xdotool key ctrl+a BackSpace
xdotool type --delay 50 1A0001
xdotool key Return  # Enter in the entry field adds the code
sleep 0.3
xdotool key shift+Tab Return  # from the tab strip, Enter is the dialog's OK
check "OK closes the dialog" until_true 5 dialog_closed
check "the window is re-fitted to three rows" until_true 10 height_is $((h0 + 18))
check "the next page shows the new code" until_true 10 page_shows 上证指数
saved=$("$vemoquote" settings "$program")
check "vemo.ini holds the new list" grep -qx 'codeList=,600000,000002,1A0001' <<<"$saved"
check "the per-user store holds the new list" grep -qx '"VemoCode"=",600000,000002,1A0001"' "$store"
xdotool key alt+s
check "the hot key works again after OK" until_true 5 is_state "$win" IsUnMapped
xdotool key alt+s
until_true 5 is_state "$win" IsViewable

# --- Cancel: only the start-at-log-on box has acted.
cp "$program/vemo.ini" "$work/ini.before"
cp "$store" "$work/store.before"
check "设置 opens the dialog again" open_settings
xdotool type --delay 50 000001
xdotool key Return shift+Tab Right
for ((i = 0; i < RunAtStartupTabs; ++i)); do xdotool key Tab; done
xdotool key space
check "开机自动运行 writes the entry at once" until_true 5 test -f "$autostart"
xdotool key Escape Return
sleep 0.5
check "Escape and Enter inside the display page are swallowed" dialog_open
for ((i = 0; i < RunAtStartupTabs; ++i)); do xdotool key shift+Tab; done
xdotool key Escape
check "Escape on the tab strip cancels" until_true 5 dialog_closed
sleep 1
check "Cancel leaves vemo.ini as it was" cmp -s "$program/vemo.ini" "$work/ini.before"
check "Cancel leaves the per-user store as it was" cmp -s "$store" "$work/store.before"
check "the entry starts this program, quoted" grep -qx "Exec=\"$program/VEMO\"" "$autostart"
read -r _ _ _ h < <(geometry "$win")
check "the window keeps its size" test "$h" -eq $((h0 + 18))
xdotool key alt+s
check "the hot key works again after Cancel" until_true 5 is_state "$win" IsUnMapped
xdotool key alt+s
until_true 5 is_state "$win" IsViewable
stop_vemo

# --- A stored code of five characters blocks OK.
start_vemo ,600000,00002
cp "$program/vemo.ini" "$work/ini.before"
open_settings || fatal "设置 does not open the dialog"
sleep 0.3
red_before=$(status_red_pixels)
xdotool key shift+Tab Return
red_after=0
check "the status line shows the message in red" until_true 5 status_is_red
check "no red in the status line before OK ($red_before, then $red_after red pixels)" \
    test "$red_before" -eq 0
check "a bad code keeps the dialog open" dialog_open
check "a refused OK saves nothing" cmp -s "$program/vemo.ini" "$work/ini.before"
xdotool key Escape
check "Escape then cancels" until_true 5 dialog_closed
stop_vemo

e2e_end
