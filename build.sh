#!/usr/bin/env bash
# Installs what Scenaria needs on Debian 12 (or a recent Ubuntu), builds it, and then
#   ./build.sh run    starts scenarix (on the bundled sample pictures when it has no settings yet)
#   ./build.sh test   runs every test and ends with CTest's summary
# Set SCENARIA_WERROR=1 to make compiler warnings errors, SCENARIA_BUILD_DIR to build elsewhere.
set -euo pipefail

mode=${1:-}
case "$mode" in
  run|test) ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

here=$(cd "$(dirname "$0")" && pwd)
build=${SCENARIA_BUILD_DIR:-$here/build}

run_packages=(build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev libx11-dev libxrandr-dev libxinerama-dev
  libwebp-dev libheif-dev libjxl-dev
  xdg-utils libglib2.0-bin dbus)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils x11-apps xdotool trayer feh xcompmgr openbox xserver-xephyr
  imagemagick netpbm libtiff-tools giflib-tools libgif-dev libjpeg-turbo-progs python3 python3-pil
  webp libheif-examples libjxl-tools libimage-exiftool-perl nodejs
  gsettings-desktop-schemas dbus-x11 dbus-daemon dbus-bin desktop-file-utils groff-base
  dpkg-dev appstream binutils
  xfdesktop4 xfconf pcmanfm pcmanfm-qt caja dconf-service dconf-gsettings-backend sway swaybg grim)

packages=("${run_packages[@]}")
[ "$mode" = test ] && packages+=("${test_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DSCENARIA_WERROR="${SCENARIA_WERROR:-0}" -DSCENARIA_TESTS="$([ "$mode" = test ] && echo ON || echo OFF)"

if [ "$mode" = run ]; then
  cmake --build "$build" --target scenarix scenarix-tool
  ini="$build/bin/scenarix.INI"
  if [ ! -e "$ini" ]; then
    # A first start shows the program at work at once: the sample pictures, a change every
    # minute and one right away.
    printf '[Diduzavizo]\nDirectory=%s\nDelay=1\nRunOnStart=1\n' "$here/samples" > "$ini"
    echo "Wrote $ini for the sample pictures."
  fi
  echo "Starting Scenaria: it lives in the notification area (tray). Exit it from the tray menu."
  exec "$build/bin/scenarix"
fi

cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
