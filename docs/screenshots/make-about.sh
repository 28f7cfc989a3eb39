#!/bin/sh
# Makes about-1.png and about-2.png beside this script: the About box opened from the tray menu
# on a virtual X display (Xvfb, trayer, xdotool), screenshot twice as its banner plays. The
# end-to-end test that checks the box takes them. Run from the repository after building:
#   docs/screenshots/make-about.sh [build folder]   (default build)
set -eu
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
SCENARIA_SCREENSHOTS="$here" "$build/bin/test_app_desktop" \
    --gtest_filter='TrayEndToEnd.AboutBoxAnimatesItsBannerAndLeavesNoPainterBehind'
