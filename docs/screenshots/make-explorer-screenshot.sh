#!/usr/bin/env bash
# Makes docs/screenshots/explorer.png and quality.png: the Bitmap Explorer with a picture picked,
# and its JPEG quality dialog, as a user opens them from the tray,
# inside the test desktop (desktop-session: Xvfb, trayer, a session bus of its own), with xdotool
# as the user. Needs a build with tests (./build.sh test).
#   docs/screenshots/make-explorer-screenshot.sh [build folder]    (default: ./build)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=$here/explorer.png
quality=$here/quality.png

# shellcheck source=docs/screenshots/desktop-script.sh
. "$here/desktop-script.sh"
enter_desktop "xdotool import-im6.q16" "--size 800x600x24 --tray --bus" "$@"
make_work
cp "$root"/samples/* "$work/Pictures/"
# The program browsing the sample pictures.
start_program '[Diduzavizo]\nDirectory='"$work/Pictures"'\nSubfolders=0\nMode=0\nDelay=90\nTile=1\nStretch=1\nProportional=1\nShowHints=1\nHint on Tray=2\nFilesType=0\n'
tray_menu x
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
