#!/usr/bin/env bash
# Makes docs/screenshots/explorer.png and quality.png: the Bitmap Explorer with a picture picked,
# and its JPEG quality dialog, as a user opens them from the tray,
# on a virtual X display (Xvfb) with trayer as the notification area and xdotool as the user.
#   docs/screenshots/make-explorer-screenshot.sh [build folder]    (default: ./build)
# Needs scenarix built, and xvfb, trayer, xdotool and imagemagick (./build.sh test installs them).
set -euo pipefail

here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build}
out=$here/docs/screenshots/explorer.png
quality=$here/docs/screenshots/quality.png
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

# The program in a folder of its own, browsing the sample pictures.
cp "$build/bin/scenarix" "$work/"
mkdir -m 700 "$work/run"
printf '[Diduzavizo]\nDirectory=%s\nSubfolders=0\nMode=0\nDelay=90\nTile=1\nStretch=1\nProportional=1\nShowHints=1\nHint on Tray=2\nFilesType=0\n' \
  "$shown/Pictures" >"$work/scenarix.INI"
QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/run" "$work/scenarix" &
pids+=($!)

icon=$(xdotool search --sync --onlyvisible --classname scenarix | head -n1)
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
sleep 0.5
xdotool key x
explorer=$(xdotool search --sync --name '^Orlamby Bitmap Explorer$' | head -n1)
xdotool windowsize "$explorer" 700 460
sleep 0.5
# The file list has the focus: the first picture, then Fit as the wallpaper would show it.
xdotool key Down
sleep 1
xdotool key alt+f
xdotool mousemove 0 599
sleep 1
import-im6.q16 -window "$explorer" "$out"
xdotool key alt+q
dialog=$(xdotool search --sync --name '^Select JPG quality$' | head -n1)
sleep 1
import-im6.q16 -window "$dialog" "$quality"
xdotool key Escape
sleep 0.3
xdotool key alt+x
echo "wrote $out and $quality"
