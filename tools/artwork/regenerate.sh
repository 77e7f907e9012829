#!/usr/bin/env bash
# Redraws the title-strip bitmaps and the icons into resources/ (commit the PNGs afterwards).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" >/dev/null
"$build/vemo-artwork" "$root/resources"
