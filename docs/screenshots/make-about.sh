#!/bin/bash
# Makes about-1.png and about-2.png beside this script: the About box opened from the tray menu,
# screenshot twice as its banner plays. Runs scenarix from a copy with settings of its own inside
# the test desktop (desktop-session: Xvfb, trayer, a session bus of its own), with xdotool as the
# user. Needs a build with tests (./build.sh test).
# Usage: docs/screenshots/make-about.sh [build folder]    (default: ./build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

# shellcheck source=docs/screenshots/desktop-script.sh
. "$here/desktop-script.sh"
enter_desktop "xdotool import-im6.q16 compare-im6.q16" "--size 800x600x24 --tray --bus" "$@"
make_work
start_program '[Diduzavizo]\nDirectory='"$work/Pictures"'\nRunOnStart=0\nShowHints=1\n'
tray_menu a
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
