#!/usr/bin/env bash
# The update relay with the real programs under a private X server with a tray, the market
# simulator playing the maker's server behind http_proxy: the notice in the notice line, a
# refused download, then Upgrade downloads a newer VEMO, starts the updater and ends; the updater
# swaps the files and starts the new program, which removes VEMO.old and VemoUpdater.
# VEMO_E2E_KEEP=1 keeps the work folder (screenshots, logs) for a look afterwards.
set -u

vemo=$1 marketsim=$2 vemoquote=$3 demosettings=$4
source "$(dirname "$0")/../support/e2e.sh"
e2e_begin update-e2e

# Processes running the program file of the test folder, whoever started them.
program_pids() {
    local exe
    for exe in /proc/[0-9]*/exe; do
        if [[ "$(readlink "$exe" 2>/dev/null)" == "$work/program/VEMO"* ]]; then
            exe=${exe#/proc/}
            echo "${exe%/exe}"
        fi
    done
}
# The program the updater started is no child of ours.
e2e_extra_cleanup() {
    for pid in $(program_pids); do kill "$pid" 2>/dev/null; done
}

e2e_start_x_server
e2e_start_tray

# The new release: this VEMO with a mark appended, so the two files can be told apart.
mkdir -p "$work/program"
cp "$vemo" "$work/program/VEMO"
cp "$vemo" "$work/release"
printf 'VEMO-2.0.4.4-RELEASE' >>"$work/release"

e2e_start_simulator "$marketsim" --frozen --time '2026-12-07 10:30:00' --infover 44 \
    --info '新版本 2.0.4.4 已发布' --infourl http://www.quorvane.com/news.htm \
    --dlurl http://www.quorvane.com/download/VEMO
sim="http://127.0.0.1:$port"
curl -sf --noproxy '*' --data-binary '<html><body>Not Found</body></html>' \
    "$sim/_sim/download?path=/download/VEMO" >/dev/null || fatal "no download set up"

"$demosettings" "$work/program" --codes ,600000 --proxy "127.0.0.1:$port" \
    || fatal "settings not written"
e2e_user_folders

upgrade_from_menu() {
    local tx ty
    read -r tx ty < <(tray_icon) || return 1
    xdotool mousemove "$tx" "$ty" click 3
    until_true 5 menu_shown || return 1
    # Upgrade is the fourth item, after 刷新, 透明 and 提醒.
    xdotool key Down Down Down Down Return
}
message_box() { xdotool search --name '^提示$' 2>/dev/null | head -n1; }
has_window() { [[ -n "$(ticker_window)" ]]; }
has_message_box() { [[ -n "$(message_box)" ]]; }
program_runs() { [[ -n "$(program_pids)" ]]; }
requests() { curl -s --noproxy '*' "$sim/_sim/requests" | grep '^GET '; }

e2e_start_vemo "$work/program/VEMO"
until_true 20 has_window || fatal "no ticker window"
win=$(ticker_window)

# The version check: one request with the identifier and the version, the notice on screen.
until_true 10 sh -c "curl -s --noproxy '*' '$sim/_sim/requests' | grep -q vemo.php" \
    || fatal "no version check"
guid=$(sed -n 's/^"Guid"="\(.*\)"$/\1/p' "$work/config/Quorvane/VemoMonitor/registry")
check "identifier stored ($guid)" grep -Eq '^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$' <<<"$guid"
check "version check asked with identifier and version" grep -qx \
    "GET http://www.quorvane.com/quorvane/vemo.php?Guid=$guid&Ver=VEMO%202.0.4.3" < <(requests)
notice_colours() {  # colours in the notice line other than the background
    local x y w h
    read -r x y w h < <(geometry "$win")
    import -window root "$work/shot.png"
    convert "$work/shot.png" -crop "$((w - 5))x15+$((x + 5))+$((y + h - 15))" +repage \
        -format %c histogram:info:- | grep -vc '#FFFFE6'
}
has_notice() { (($(notice_colours) > 0)); }
check "notice shown in the notice line" until_true 10 has_notice

# A download that is no program is refused: the failure message, nothing written, VEMO runs on.
upgrade_from_menu || fatal "no menu"
check "refused download shows the failure message" until_true 15 has_message_box
check "refused download leaves no VEMO.new" test ! -e "$work/program/VEMO.new"
check "refused download starts no updater" test ! -e "$work/program/VemoUpdater"
# A click gives the box the keyboard (there is no window manager); Return presses 确定.
box=$(message_box)
if [[ -n "$box" ]]; then
    read -r bx by bw bh < <(geometry "$box")
    xdotool mousemove $((bx + bw / 2)) $((by + bh / 3)) click 1 sleep 0.3 key Return
fi
no_message_box() { ! has_message_box; }
check "the message box closes with Return" until_true 5 no_message_box
check "VEMO still runs after a refused download" kill -0 "$vemo_pid"

# The real release.
# -f: a release the simulator refuses (too large, say) must stop the test here, not later.
curl -sf --noproxy '*' --data-binary @"$work/release" \
    "$sim/_sim/download?path=/download/VEMO" >/dev/null || fatal "no release set up"
upgrade_from_menu || fatal "no menu"
check "upgrade ends the program" until_true 30 ended
wait "$vemo_pid"
status=$?
check "program ended cleanly (status $status)" test "$status" -eq 0
check "updater written with its run bit" test -x "$work/program/VemoUpdater"
check "settings saved at the hand-off" grep -q '^complete=1$' < <("$vemoquote" settings "$work/program")
check "release downloaded as asked" grep -qx 'GET http://www.quorvane.com/download/VEMO' < <(requests)

swapped() { cmp -s "$work/program/VEMO" "$work/release" && cmp -s "$work/program/VEMO.old" "$vemo"; }
check "updater swapped the program files" until_true 15 swapped
check "VEMO.new is gone" test ! -e "$work/program/VEMO.new"
check "the new program runs" until_true 15 program_runs
check "the new program shows its window" until_true 20 has_window
cleaned() { [[ ! -e "$work/program/VEMO.old" && ! -e "$work/program/VemoUpdater" ]]; }
check "the new program removes VEMO.old and VemoUpdater" until_true 10 cleaned
check "program folder holds the program and its settings" \
    test "$(ls "$work/program" | tr '\n' ' ')" = "VEMO vemo.ini "

new_pids=$(program_pids)
for pid in $new_pids; do kill -TERM "$pid"; done
gone() { [[ -z "$(program_pids)" ]]; }
check "the new program ends on SIGTERM" until_true 10 gone

e2e_end
