#!/usr/bin/env bash
# The Windows build, cross compiled with mingw-w64 on Debian, and its tests under wine.
#   tools/windows/build.sh [x86_64|i686|all] [build|test|qt]     (default: all test)
# Builds the imaging, GIF, core and platform libraries, scenarix-tool.exe, the library tests and
# the Windows backend's tests. With Qt for Windows in the cache (made by the mode "qt", about an
# hour per target: tools/windows/qt.sh), also scenarix.exe and the tests of its windows.
# libjpeg-turbo, libpng and giflib are built from Debian's own source packages of the versions
# the Linux build uses, googletest from the googletest package; they are kept between runs in
# SCENARIA_WINDOWS_CACHE (default ~/.cache/scenaria/windows). Build trees: build-windows-<arch>.
set -euo pipefail

arches=${1:-all}
mode=${2:-test}
case "$arches" in
  all) arches="x86_64 i686" ;;
  x86_64|i686) ;;
  *) echo "usage: $0 [x86_64|i686|all] [build|test|qt]" >&2; exit 2 ;;
esac
case "$mode" in build|test|qt) ;; *) echo "usage: $0 [x86_64|i686|all] [build|test|qt]" >&2; exit 2 ;; esac

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cache=${SCENARIA_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/scenaria/windows}
jobs=$(nproc)
sudo=
[ "$(id -u)" -ne 0 ] && sudo=sudo

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

# Debian's source packages come through deb-src entries for the suites the machine installs from.
add_source_entries() {
  local list=/etc/apt/sources.list.d/scenaria-src.sources
  [ -e "$list" ] && return 0
  local suite
  suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
  $sudo tee "$list" >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $suite $suite-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $suite-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  updated=no
}

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

install_packages() {
  # The host Qt gives moc, rcc and uic, and its source package is the one cross built.
  local packages=(cmake ninja-build ccache dpkg-dev nasm nsis googletest libz-mingw-w64-dev
    libjpeg62-turbo-dev libpng-dev libgif-dev qt6-base-dev qt6-base-dev-tools)
  local arch
  for arch in $arches; do
    packages+=("g++-mingw-w64-${arch//_/-}-posix" "gcc-mingw-w64-${arch//_/-}-posix")
  done
  if [ "$mode" = test ]; then
    packages+=(wine wine64 xvfb xauth x11-utils x11-apps xdotool imagemagick python3-pil)
  fi
  add_source_entries
  local missing=() p
  for p in "${packages[@]}"; do is_installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && [ "${updated:-yes}" = yes ] && return 0
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# 32-bit programs need 32-bit wine, which lives in Debian's i386 architecture. Where it cannot
# be had, the 32-bit build stands alone.
install_wine32() {
  is_installed wine32:i386 && return 0
  [ -e "$cache/no-32-bit-programs" ] && return 0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq || true
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends wine32:i386 ||
    echo "note: 32-bit wine (wine32:i386) cannot be installed here" >&2
}

wine32_available() {
  is_installed wine32:i386 && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Some kernels run no 32-bit programs at all (no IA-32 emulation). There wine32 cannot start,
# and being installed it would stand in the way of 64-bit wine, which Debian's wine script
# prefers it to: take it away again.
drop_unrunnable_wine32() {
  is_installed wine32:i386 || return 0
  /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
  echo "note: this kernel cannot run 32-bit programs; removing wine32:i386 so 64-bit wine runs" >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq wine32:i386 >/dev/null
  mkdir -p "$cache" && touch "$cache/no-32-bit-programs"
}

# shellcheck source=tools/windows/deps.sh
. "$here/deps.sh"
# shellcheck source=tools/windows/qt.sh
. "$here/qt.sh"

# Scenaria-Setup-<version>.exe in the build tree, from the program built there; prints its path.
make_installer() {
  local build=$1 version setup
  version=$(sed -n 's/^project(Scenaria VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
  setup=$build/Scenaria-Setup-$version.exe
  makensis -V2 -DVERSION="$version" -DSOURCE="$root" -DBUILD="$build" -DOUTFILE="$setup" \
    "$here/installer.nsi" >&2
  echo "$setup"
}

# A wine prefix of the build's own, made once, with no windows asking to install Mono or Gecko.
start_wine() {
  export WINEPREFIX=$1/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -e "$WINEPREFIX/system.reg" ]; then
    DISPLAY= wineboot --init >/dev/null 2>&1
  fi
}

install_packages
if [ "$mode" = test ] && [[ " $arches " == *" i686 "* ]]; then
  install_wine32
fi
[ "$mode" = test ] && drop_unrunnable_wine32

if [ "$mode" = qt ]; then
  for arch in $arches; do build_qt "$arch-w64-mingw32" >/dev/null; done
  exit 0
fi

# The Linux build's programs the tests use: scenarix-tool to compare with, the desktop harness.
linux_build=${SCENARIA_BUILD_DIR:-$root/build}
for arch in $arches; do
  triple=$arch-w64-mingw32
  deps=$(build_dependencies "$triple")
  qt=$(cached_qt "$triple")
  qt_host=()
  if [ -n "$qt" ]; then
    deps="$deps;$qt"
    # moc, rcc and uic come from the Linux build's Qt, whose CMake files Debian keeps here.
    qt_host=(-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
  else
    echo "=== Windows $arch: no Qt for it in $cache ($0 $arch qt builds it), so no scenarix.exe"
  fi
  build=${SCENARIA_WINDOWS_BUILD_DIR:-$root/build-windows}-$arch
  echo "=== Windows $arch: build ($build)"
  # Libraries found under another dependency prefix would stay in the cache; start afresh.
  if [ -e "$build/CMakeCache.txt" ] &&
    ! grep -qxF "SCENARIA_WINDOWS_DEPS:PATH=$deps" "$build/CMakeCache.txt"; then
    rm -f "$build/CMakeCache.txt"
  fi
  # No debug information: it would double the time of compiling and linking these static
  # programs, which are debugged on Linux.
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" "${launcher[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" -DSCENARIA_MINGW_TRIPLE="$triple" \
    -DSCENARIA_WINDOWS_DEPS="$deps" "${qt_host[@]}" -DSCENARIA_WERROR="${SCENARIA_WERROR:-0}" -DSCENARIA_BENCH=OFF
  cmake --build "$build" -j "$jobs"
  [ "$mode" = test ] || continue
  if [ "$arch" = i686 ] && ! wine32_available; then
    echo "=== Windows i686: no 32-bit wine on this machine, so the build stands alone"
    continue
  fi
  echo "=== Windows $arch: tests under wine"
  start_wine "$build"
  ctest --test-dir "$build" --output-on-failure -j "$jobs"
  # A test skipped because wine lacks an API passes in CTest's eyes; its reason is shown here.
  grep -h -B1 '^\[  SKIPPED \] [A-Za-z].* ([0-9]* ms)$' "$build/Testing/Temporary/LastTest.log" |
    grep -v '^--$' || true
  # The 64-bit program is held to the Linux build on every picture; the 32-bit one, whose
  # library tests have just run, on the composition, where its arithmetic differs most.
  only=()
  [ "$arch" = i686 ] && only=(--only wallpaper)
  echo "=== Windows $arch: scenarix-tool.exe against the Linux build's scenarix-tool"
  /usr/bin/python3 "$root/tests/windows/compare_with_linux.py" "${only[@]}" \
    "$linux_build/bin/scenarix-tool" "$build/bin/scenarix-tool.exe"
  if [ "$arch" = x86_64 ]; then
    echo "=== Windows $arch: the wallpaper on wine's desktop"
    /usr/bin/python3 "$root/tests/windows/wine_desktop_test.py" "$build/bin/scenarix-tool.exe"
    if [ -e "$build/bin/scenarix.exe" ]; then
      echo "=== Windows $arch: scenarix.exe in the notification area and on wine's desktop"
      SCENARIA_WINE_PROGRAM="$build/bin/scenarix.exe" \
        "$linux_build/bin/test_wine_program"
      echo "=== Windows $arch: the installer, installed and uninstalled silently in a fresh prefix"
      setup=$(make_installer "$build")
      "$linux_build/bin/desktop-session" --wm --tray -- \
        /usr/bin/python3 "$root/tests/windows/installer_test.py" "$setup"
    fi
  fi
  wineserver -k 2>/dev/null || true
done
