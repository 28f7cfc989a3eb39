#!/bin/bash
# Makes docs/screenshots/wine-desktop-solid-1.png, -solid-2.png and -tile.png: wine's virtual
# desktop after scenarix-tool.exe set two pictures of one colour and then samples/tile.bmp as
# the wallpaper, tiled. They are the screenshots of tests/windows/wine_desktop_test.py, which
# also checks every pixel of them. Needs Xvfb, wine, ImageMagick, python3-pil and the Windows
# build (tools/windows/build.sh x86_64 build).
# Usage: docs/screenshots/make-wine-desktop-screenshots.sh [Windows build folder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build-windows-x86_64}
tool=$build/bin/scenarix-tool.exe
[ -f "$tool" ] || { echo "missing $tool: build it with tools/windows/build.sh x86_64 build" >&2; exit 1; }
export WINEPREFIX=${WINEPREFIX:-$build/wine} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -e "$WINEPREFIX/system.reg" ]; then
  DISPLAY= wineboot --init >/dev/null 2>&1
  wineserver -w
fi
/usr/bin/python3 "$root/tests/windows/wine_desktop_test.py" "$tool" --screenshots "$here"
