#!/bin/bash
# Makes docs/screenshots/wine-windows.png: scenarix.exe, the Windows build, on wine's own desktop
# as a Windows user sees it: the wallpaper it set at a click on its icon (in the taskbar's
# notification area, bottom right) and its configuration dialog, opened from the icon's menu.
# Needs the Linux build with tests (for desktop-session), the Windows build with Qt
# (tools/windows/build.sh x86_64 build), wine, xdotool and ImageMagick.
# Usage: docs/screenshots/make-wine-screenshot.sh [build folder] [Windows build folder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
if [ "${1:-}" != --inside ]; then
  export SCENARIA_WINDOWS_BUILD=${2:-${SCENARIA_WINDOWS_BUILD:-$root/build-windows-x86_64}}
fi
windows=$SCENARIA_WINDOWS_BUILD
[ -f "$windows/bin/scenarix.exe" ] ||
  { echo "missing $windows/bin/scenarix.exe: tools/windows/build.sh x86_64 build makes it" >&2; exit 1; }

# shellcheck source=docs/screenshots/desktop-script.sh
. "$here/desktop-script.sh"
enter_desktop "xdotool import-im6.q16 wine wineserver" "--size 1024x768x24" "$@"
export WINEPREFIX=${WINEPREFIX:-$SCENARIA_WINDOWS_BUILD/wine} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ ! -e "$WINEPREFIX/system.reg" ]; then
  DISPLAY= wineboot --init >/dev/null 2>&1
fi
make_work
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$root"/samples/*.{jpg,png,tga} "$work/Pictures/"
cp "$SCENARIA_WINDOWS_BUILD/bin/scenarix.exe" "$work/"
printf '[Diduzavizo]\r\nDirectory=Z:\\tmp\\scenaria-screenshot\\Pictures\r\nSubfolders=0\r\nDelay=90\r\nTile=2\r\nStretch=1\r\nProportional=1\r\nShowHints=1\r\nHint on Tray=2\r\n' \
  >"$work/scenarix.INI"
wine explorer /desktop=Scenaria,1024x768 "$work/scenarix.exe" >/dev/null 2>&1 &
desktop=$(xdotool search --sync --name '^Scenaria - Wine desktop$' | head -n1)
# The notification area is the taskbar's right end; the icon comes once the program is up.
sleep 6
xdotool mousemove 1014 758 click 1
sleep 4
xdotool mousemove 1014 758 click 3
sleep 1
xdotool key c
sleep 3
# Away from every control, so that no hint covers the picture.
xdotool mousemove 600 700
sleep 1
import-im6.q16 -window "$desktop" "$work/wine-windows.png"
mv "$work/wine-windows.png" "$here/wine-windows.png"
echo "wrote $here/wine-windows.png"
