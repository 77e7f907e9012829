#!/usr/bin/env bash
# VEMO started without a desktop session: one clear line, status 1, and nothing touched.
set -u
vemo=$1
work=$(mktemp -d /tmp/vemo-nodesktop-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/program" "$work/config"
cp "$vemo" "$work/program/VEMO"
export XDG_CONFIG_HOME="$work/config"

failures=0
expect() {  # expect NAME STATUS MESSAGE ENV...
    local name=$1 status=$2 message=$3
    shift 3
    local err
    err=$(cd "$work/program" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" \
        timeout 20 ./VEMO 2>&1 >/dev/null)
    local got=$?
    if [[ $got -ne $status || "$err" != "$message" ]]; then
        echo "FAILED: $name: status $got, output: $err"
        failures=$((failures + 1))
    else
        echo "ok: $name"
    fi
}
expect "no display" 1 "VEMO 需要图形桌面 (DISPLAY 未设置)"
expect "display without a server" 1 "VEMO 无法连接图形桌面 (DISPLAY=:8793)" DISPLAY=:8793
expect "X11 named, no display" 1 "VEMO 需要图形桌面 (DISPLAY 未设置)" QT_QPA_PLATFORM=xcb
if [[ -n "$(ls -A "$work/program" | grep -v '^VEMO$')" || -n "$(ls -A "$work/config")" ]]; then
    echo "FAILED: files were written: $(ls -A "$work/program" "$work/config")"
    failures=$((failures + 1))
fi
((failures == 0))
