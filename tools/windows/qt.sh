# Qt for Windows: qtbase cross built with mingw-w64 from Debian's own source of the Qt the Linux
# build uses, which stays the host Qt for moc, rcc and uic. Static, so that scenarix.exe is one
# file; only what the program needs (Core, Gui, Widgets and the windows and offscreen platform
# plugins). Kept in $cache under a key of the source, the compiler, the toolchain file and the
# configure line, so that a comment changed here does not cost an hour.
# Sourced by build.sh, which sets here, cache, jobs and launcher, after deps.sh.

qt_prefix_key() {
  local triple=$1
  printf '%s\n' "$(source_of qt6-base-dev)" "$("$triple-g++-posix" -dumpfullversion)" \
    "$({ declare -f qt_configure; cat "$here/mingw-w64.cmake"; } | sha256sum)" | sha256sum | cut -c1-16
}

# Debian's source lacks the Windows tablet headers (tabletevent, direct2d) and its cross patch
# turns androiddeployqt on; without OpenGL, dynamicgl must go too or the windows plugin does not
# compile, and without direct2d, directwrite3 (the plugin would call a font database that QtGui
# builds only with direct2d, and programs would not link). The rest is trimmed to what a widgets
# program and its tests (QtTest) use. Resources stay uncompressed by zstd, which this Qt has not.
qt_configure() {
  local src=$1 build=$2 prefix=$3 triple=$4
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" -DSCENARIA_MINGW_TRIPLE="$triple" \
    -DCMAKE_CROSSCOMPILING_EMULATOR= -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_SHARED_LIBS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_xml=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_opengl=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF \
    -DFEATURE_dynamicgl=OFF -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF \
    -DFEATURE_directwrite3=OFF \
    -DFEATURE_androiddeployqt=OFF -DFEATURE_zstd=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_icu=OFF
}

qt_prefix() {
  echo "$cache/qt-$1-$(qt_prefix_key "$1")"
}

# The cached Qt for one target, or nothing.
cached_qt() {
  local prefix
  prefix=$(qt_prefix "$1")
  [ -e "$prefix/.complete" ] && echo "$prefix"
  return 0
}

# Builds (or finds in the cache) Qt for one target and prints its prefix. About an hour on two
# cores: run it ahead of CI, which finds it here.
build_qt() {
  local triple=$1 prefix work src version
  prefix=$(qt_prefix "$triple")
  if [ -e "$prefix/.complete" ]; then
    echo "$prefix"
    return 0
  fi
  version=$(source_of qt6-base-dev)
  version=${version#* }
  echo "=== Qt for $triple from qt6-base $version (about an hour)" >&2
  work=$(mktemp -d "${TMPDIR:-/tmp}/scenaria-windows-qt.XXXXXX")
  # Paths relative to the work folder, whose name changes each time, so that a build cut off
  # half way is mostly found in ccache the next time.
  export CCACHE_BASEDIR=$work CCACHE_NOHASHDIR=1
  rm -rf "$prefix"
  fetch_source qt6-base "$version" "$work/src" >&2
  src=$(ls -d "$work"/src/*/)
  qt_configure "$src" "$work/build" "$prefix" "$triple" >&2
  cmake --build "$work/build" -j "$jobs" >&2
  cmake --install "$work/build" >/dev/null
  rm -rf "$work"
  touch "$prefix/.complete"
  echo "$prefix"
}
