#!/bin/bash
# Makes about-1.png and about-2.png beside this script: the About box opened from the tray menu,
# screenshot twice as its banner plays. Runs scenarix from a copy with settings of its own inside
# the test desktop (desktop-session: Xvfb, trayer, a session bus of its own), with xdotool as the
# user. Needs a build with tests (./build.sh test).
# Usage: docs/screenshots/make-about.sh [build folder]    (default: ./build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

if [ "${1:-}" != --inside ]; then
  build=${1:-$root/build}
  for program in scenarix desktop-session; do
    [ -x "$build/bin/$program" ] || { echo "missing $build/bin/$program: run ./build.sh test" >&2; exit 1; }
  done
  for tool in xdotool import-im6.q16 compare-im6.q16; do
    command -v $tool >/dev/null || { echo "missing $tool" >&2; exit 1; }
  done
  exec "$build/bin/desktop-session" --size 800x600x24 --tray --bus -- "$0" --inside "$build"
fi

build=$2
work=/tmp/scenaria-screenshot
rm -rf "$work"
mkdir -p "$work/Pictures" "$work/home"
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cp "$build/bin/scenarix" "$work/"
printf '[Diduzavizo]\nDirectory=%s\nRunOnStart=0\nShowHints=1\n' "$work/Pictures" >"$work/scenarix.INI"
HOME=$work/home QT_QPA_PLATFORM=xcb "$work/scenarix" 2>/dev/null &
pid=$!

icon=$(xdotool search --sync --onlyvisible --classname scenarix | head -n1)
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
sleep 0.5
xdotool key a
about=$(xdotool search --sync --name '^About Scenaria$' | head -n1)
# Away from the box, so that no hint covers it; then the banner has played a while.
xdotool mousemove 0 599
sleep 1
import-im6.q16 -window "$about" "$work/about-1.png"
# The second shot once the banner shows another frame.
changed=
for _ in $(seq 50); do
  sleep 0.1
  import-im6.q16 -window "$about" "$work/about-2.png"
  differing=$(compare-im6.q16 -metric AE "$work/about-1.png" "$work/about-2.png" null: 2>&1 || true)
  [ "${differing%% *}" != 0 ] && { changed=1; break; }
done
[ -n "$changed" ] || { echo "the banner did not change" >&2; exit 1; }
xdotool key Escape
mv "$work/about-1.png" "$work/about-2.png" "$here/"
echo "wrote $here/about-1.png and $here/about-2.png"
