#!/bin/bash
# Makes docs/screenshots/balloon.png: the program's balloon hint over its configuration window,
# opened from the tray menu as a user opens it, with one of the sample pictures as the desktop.
# Runs scenarix from a copy with settings of its own inside the test desktop (desktop-session:
# Xvfb, openbox, trayer), with xdotool as the user. Needs a build with tests (./build.sh test).
# Usage: docs/screenshots/make-balloon-screenshot.sh [build folder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

# shellcheck source=docs/screenshots/desktop-script.sh
. "$here/desktop-script.sh"
enter_desktop "xdotool feh import-im6.q16" "--size 1024x768x24 --wm --tray" "$@"
make_work
HOME=$work/home feh --no-fehbg --bg-fill "$root/samples/aurora.jpg"
start_program '[Diduzavizo]\nDirectory='"$work/Pictures"'\nRunOnStart=0\nShowHints=1\n'
tray_menu c
dialog=$(xdotool search --sync --name '^Wallpaper Diduzavizo$' | head -n1)
xdotool windowmove "$dialog" 0 240
sleep 0.8
left=$(xwininfo -id "$dialog" | awk '/Absolute upper-left X/{print $4}')
top=$(xwininfo -id "$dialog" | awk '/Absolute upper-left Y/{print $4}')

# Rest the pointer on "Use subfolders", as a user would.
hint="If checked Scenaria will look for wallpaper files on the selected folder and all its subfolders"
px=$((left + 45)) py=$((top + 315))
xdotool mousemove $((px - 20)) $py
sleep 0.1
xdotool mousemove $px $py
for _ in $(seq 100); do
  xdotool search --onlyvisible --name "^$hint\$" >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 0.3
import-im6.q16 -window root -crop 840x520+0+200 +repage "$here/balloon.png"
echo "wrote $here/balloon.png"
