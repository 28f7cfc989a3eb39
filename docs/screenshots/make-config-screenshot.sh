#!/usr/bin/env bash
# Makes docs/screenshots/config.png: the configuration dialog as a user opens it from the tray,
# on a virtual X display (Xvfb) with trayer as the notification area and xdotool as the user.
#   docs/screenshots/make-config-screenshot.sh [build folder]    (default: ./build)
# Needs scenarix built, and xvfb, trayer, xdotool and imagemagick (./build.sh test installs them).
set -euo pipefail

here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build}
out=$here/docs/screenshots/config.png
for tool in Xvfb trayer xdotool import-im6.q16; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$build/bin/scenarix" ] || { echo "build scenarix first: $build/bin/scenarix" >&2; exit 1; }

# The sample pictures are shown from a folder of a neutral name, so that no path of the machine
# the screenshot is made on appears in it.
shown=/tmp/scenaria
mkdir "$shown" 2>/dev/null || { echo "$shown is in the way: remove it first" >&2; exit 1; }
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work" "$shown"
}
trap cleanup EXIT
cp -r "$here/samples" "$shown/Pictures"

Xvfb -displayfd 5 -nolisten tcp -noreset -screen 0 800x600x24 5>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$work/display")

trayer --edge top --align right --widthtype pixel --width 100 --height 32 >/dev/null 2>&1 &
pids+=($!)

# The program in a folder of its own, with settings that show every part of the dialog.
cp "$build/bin/scenarix" "$work/"
mkdir -m 700 "$work/run"
printf '[Diduzavizo]\nDirectory=%s\nSubfolders=1\nMode=1\nDelay=90\nTile=2\nStretch=1\nProportional=1\nShowHints=1\nHint on Tray=2\nFilesType=0\n' \
  "$shown/Pictures" >"$work/scenarix.INI"
QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/run" "$work/scenarix" &
pids+=($!)

icon=$(xdotool search --sync --onlyvisible --classname scenarix | head -n1)
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
sleep 0.5
xdotool key c
dialog=$(xdotool search --sync --name '^Wallpaper Diduzavizo$' | head -n1)
# Away from every control, so that no hint covers the picture.
xdotool mousemove 0 599
sleep 1
import-im6.q16 -window "$dialog" "$out"
xdotool key Escape
echo "wrote $out"
