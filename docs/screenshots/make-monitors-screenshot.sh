#!/usr/bin/env bash
# Makes docs/screenshots/monitors.png: scenarix on a bare X11 desktop of two monitors of
# different shapes, a landscape one and a portrait one to its right (desktop-session's nested
# server with two heads), showing a sample picture fitted to each with a letterbox colour. The
# root window is read back and the monitors are drawn apart on grey, as a user sees them.
# Needs a build with tests (./build.sh test).
#   docs/screenshots/make-monitors-screenshot.sh [build folder]    (default: ./build)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=$here/monitors.png

# shellcheck source=docs/screenshots/desktop-script.sh
. "$here/desktop-script.sh"
enter_desktop "import-im6.q16 convert-im6.q16" "--heads 640x360,360x640" "$@"
make_work
cp "$root/samples/$(ls "$root/samples" | grep -i -E '\.(jpg|jpeg|png|bmp)$' | head -n1)" \
  "$work/Pictures/"
start_program '[Diduzavizo]\nDirectory='"$work/Pictures"'\nMode=0\nDelay=90\nTile=1\nStretch=1\nProportional=1\nRunOnStart=1\nShowHints=0\nBackground=#2B3A4A\nSave Folder='"$work"'\n'
# The change at start: until the middle of the first monitor leaves the server's own pattern.
for _ in $(seq 50); do
  sleep 0.2
  [ -e "$work/~scxtmp.bmp" ] && break
done
sleep 1
import-im6.q16 -window root "$work/root.png"
convert-im6.q16 -size 1040x680 xc:'#9a9a9a' \
  \( "$work/root.png" -crop 640x360+0+0 +repage \) -geometry +10+150 -composite \
  \( "$work/root.png" -crop 360x640+640+0 +repage \) -geometry +670+20 -composite "$out"
echo "wrote $out"
