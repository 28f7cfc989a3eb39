#!/bin/bash
# Makes docs/screenshots/config.png: the configuration dialog as a user opens it from the tray.
# Runs scenarix from a copy with settings of its own inside the test desktop (desktop-session:
# Xvfb, trayer, a session bus of its own), with xdotool as the user. Needs a build with tests (./build.sh test).
# Usage: docs/screenshots/make-config-screenshot.sh [build folder]    (default: ./build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

if [ "${1:-}" != --inside ]; then
  build=${1:-$root/build}
  for program in scenarix desktop-session; do
    [ -x "$build/bin/$program" ] || { echo "missing $build/bin/$program: run ./build.sh test" >&2; exit 1; }
  done
  for tool in xdotool import-im6.q16; do
    command -v $tool >/dev/null || { echo "missing $tool" >&2; exit 1; }
  done
  exec "$build/bin/desktop-session" --size 800x600x24 --tray --bus -- "$0" --inside "$build"
fi

build=$2
# The dialog shows the folder's path: a neutral one, not one of this machine's. The program gets
# a home of its own beside it, so that nothing of this machine's user comes into the picture.
work=/tmp/scenaria-screenshot
rm -rf "$work"
mkdir -p "$work/Pictures" "$work/home"
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cp "$root"/samples/*.{jpg,png,pcx,pgm,tga,bmp,tif} "$work/Pictures/"
cp "$build/bin/scenarix" "$work/"
# Settings that show every part of the dialog.
printf '[Diduzavizo]\nDirectory=%s\nSubfolders=1\nMode=1\nDelay=90\nTile=2\nStretch=1\nProportional=1\nShowHints=1\nHint on Tray=2\nFilesType=0\n' \
  "$work/Pictures" >"$work/scenarix.INI"
HOME=$work/home QT_QPA_PLATFORM=xcb "$work/scenarix" 2>/dev/null &
pid=$!

icon=$(xdotool search --sync --onlyvisible --classname scenarix | head -n1)
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
sleep 0.5
xdotool key c
dialog=$(xdotool search --sync --name '^Wallpaper Diduzavizo$' | head -n1)
# Away from every control, so that no hint covers the picture.
xdotool mousemove 0 599
sleep 1
import-im6.q16 -window "$dialog" "$work/config.png"
xdotool key Escape
mv "$work/config.png" "$here/config.png"
echo "wrote $here/config.png"
