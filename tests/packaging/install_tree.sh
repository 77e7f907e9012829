#!/usr/bin/env bash
# Installs the build into a scratch root and checks what a package would hold: every file in
# its place, the menu entry and the software centre's metadata as their own validators see them.
# Usage: install_tree.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
usr="$root/usr"
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

id=com.quorvane.Vemo
expected=(
    bin/VEMO bin/vemo-quote
    share/applications/$id.desktop
    share/metainfo/$id.metainfo.xml
    share/man/man1/vemo-quote.1.gz share/man/man1/VEMO.1.gz
    share/doc/vemo/copyright share/doc/vemo/changelog.gz
    share/icons/hicolor/scalable/apps/$id.svg
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for file in "${expected[@]}"; do
    [[ -f "$usr/$file" ]] || fail "$file is not installed"
done
for program in VEMO vemo-quote; do
    [[ -x "$usr/bin/$program" ]] || fail "bin/$program cannot be run"
done
# The updater belongs to the portable folder only; the package manager replaces the program.
[[ ! -e "$usr/bin/VemoUpdater" ]] || fail "the updater is installed"
extra=$(cd "$root" && find . -type f | sed 's|^\./||' | grep -v '^usr/' || true)
[[ -z "$extra" ]] || fail "files outside /usr: $extra"

# Each picture is the size its folder names.
for size in 16 22 24 32 48 64 128 256; do
    got=$(identify -format '%wx%h' "$usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
    [[ "$got" == "${size}x${size}" ]] || fail "the ${size}px icon is $got"
done

desktop="$usr/share/applications/$id.desktop"
if ! out=$(desktop-file-validate "$desktop" 2>&1) || [[ -n "$out" ]]; then
    fail "desktop-file-validate: $out"
fi
for line in 'Exec=VEMO' "Icon=$id" 'Categories=Office;Finance;' 'StartupWMClass=VemoMFrame'; do
    grep -qxF "$line" "$desktop" || fail "the menu entry lacks $line"
done
grep -q '^Name\[zh_CN\]=' "$desktop" || fail "the menu entry has no Chinese name"
grep -q '^Comment\[zh_CN\]=' "$desktop" || fail "the menu entry has no Chinese comment"

metainfo="$usr/share/metainfo/$id.metainfo.xml"
if ! out=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1); then
    fail "appstreamcli validate: $out"
elif grep -qE '^[EW]:' <<<"$out"; then
    fail "appstreamcli validate: $out"
fi
if grep -q '@PROJECT_VERSION@' "$metainfo"; then fail "the metadata's release has no version"; fi
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metadata does not name the menu entry"

for page in VEMO vemo-quote; do
    man=$(zcat "$usr/share/man/man1/$page.1.gz")
    grep -qi "^\.TH $page 1 " <<<"$man" || fail "the manual page of $page is not of section 1"
    if grep -q '@PROJECT_VERSION@' <<<"$man"; then fail "the manual page of $page has no version"; fi
done

if ((failures > 0)); then
    echo "$failures failed" >&2
    exit 1
fi
echo "the installed tree is complete and valid"
