#!/bin/bash
# Makes docs/screenshots/balloon.png: the program's balloon hint over the configuration window, on a
# virtual X display with one of the sample pictures as the desktop. Needs Xvfb, xdotool, feh and
# ImageMagick, and a build of the target balloon-demo (./build.sh test builds it).
# Usage: docs/screenshots/make-balloon-screenshot.sh [build folder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
demo=$build/bin/balloon-demo
[ -x "$demo" ] || { echo "missing $demo: build the target balloon-demo" >&2; exit 1; }
for tool in Xvfb xdotool feh import-im6.q16; do
  command -v $tool >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d)
cleanup() {
  [ -n "${demo_pid:-}" ] && kill "$demo_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -noreset -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 20 -u "$fd" number
export DISPLAY=":$number" QT_QPA_PLATFORM=xcb
HOME=$work feh --no-fehbg --bg-fill "$root/samples/aurora.jpg"

"$demo" >"$work/out" 2>/dev/null &
demo_pid=$!
for _ in $(seq 100); do
  [ "$(wc -l <"$work/out")" -ge 2 ] && break
  sleep 0.1
done
read -r _ x y w h <"$work/out"
hint=$(sed -n 2p "$work/out")

# Rest the pointer on the control, as a user would.
px=$((x + (w / 2 < 30 ? w / 2 : 30))) py=$((y + h / 2))
xdotool mousemove $((px - 20)) $py
sleep 0.1
xdotool mousemove $px $py
for _ in $(seq 100); do
  xdotool search --name "^$hint\$" >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 0.3
import-im6.q16 -window root -crop 840x500+0+140 +repage "$here/balloon.png"
echo "wrote $here/balloon.png"
