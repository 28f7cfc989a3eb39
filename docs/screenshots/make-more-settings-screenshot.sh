#!/bin/bash
# Makes docs/screenshots/more-settings.png: the "More settings" window, opened with the More…
# button of the configuration dialog as a user opens it from the tray. Runs scenarix from a copy
# with settings of its own inside the test desktop (desktop-session: Xvfb, trayer, a session bus
# of its own), with xdotool as the user. Needs a build with tests (./build.sh test).
# Usage: docs/screenshots/make-more-settings-screenshot.sh [build folder]    (default: ./build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

# shellcheck source=docs/screenshots/desktop-script.sh
. "$here/desktop-script.sh"
enter_desktop "xdotool import-im6.q16" "--size 800x600x24 --tray --bus" "$@"
make_work
cp "$root"/samples/*.jpg "$work/Pictures/"
# Settings away from the defaults, so that the window shows what it reads: each monitor its own
# picture, Fill checked and a blue background in the swatch.
start_program '[Diduzavizo]\nDirectory='"$work/Pictures"'\nMonitors=1\nFill=1\nBackground=#336699\n'
tray_menu c
config=$(xdotool search --sync --onlyvisible --name '^Wallpaper Diduzavizo$' | head -n1)
sleep 1
# The More… button's middle, in the configuration window's own coordinates (TfmConfig puts it
# at 256,341 with a size of 80x24).
xdotool mousemove --window "$config" 296 353 click 1
more=$(xdotool search --sync --name '^More settings$' | head -n1)
# Away from every control, so that no hint covers the picture.
xdotool mousemove 0 599
sleep 1
import-im6.q16 -window "$more" "$work/more-settings.png"
# One Escape closes each window; neither stores anything.
xdotool key Escape
sleep 0.5
xdotool key Escape
mv "$work/more-settings.png" "$here/more-settings.png"
echo "wrote $here/more-settings.png"
