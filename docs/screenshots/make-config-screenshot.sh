#!/bin/bash
# Makes docs/screenshots/config.png: the configuration dialog as a user opens it from the tray.
# Runs scenarix from a copy with settings of its own inside the test desktop (desktop-session:
# Xvfb, trayer, a session bus of its own), with xdotool as the user. Needs a build with tests (./build.sh test).
# Usage: docs/screenshots/make-config-screenshot.sh [build folder]    (default: ./build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

# shellcheck source=docs/screenshots/desktop-script.sh
. "$here/desktop-script.sh"
enter_desktop "xdotool import-im6.q16" "--size 800x600x24 --tray --bus" "$@"
make_work
cp "$root"/samples/*.{jpg,png,pcx,pgm,tga,bmp,tif} "$work/Pictures/"
# Settings that show every part of the dialog.
start_program '[Diduzavizo]\nDirectory='"$work/Pictures"'\nSubfolders=1\nMode=1\nDelay=90\nTile=2\nStretch=1\nProportional=1\nShowHints=1\nHint on Tray=2\nFilesType=0\n'
tray_menu c
dialog=$(xdotool search --sync --name '^Wallpaper Diduzavizo$' | head -n1)
# Away from every control, so that no hint covers the picture.
xdotool mousemove 0 599
sleep 1
import-im6.q16 -window "$dialog" "$work/config.png"
xdotool key Escape
mv "$work/config.png" "$here/config.png"
echo "wrote $here/config.png"
