# The Windows build's dependencies, built for one mingw-w64 target from Debian's own source
# packages and kept in $cache under a key of everything that goes into them (this file included).
# Sourced by build.sh, which sets here, cache, jobs and launcher.

# The source package and version that a Linux -dev package was built from.
source_of() {
  dpkg-query -W -f='${source:Package} ${source:Version}' "$1"
}

# Fetches and unpacks a source package into $2, checked as apt checks it. When the exact version
# is no longer offered (a security update whose source left the mirror), the newest offered
# revision of the same upstream version stands in, and the log says so.
fetch_source() {
  local package=$1 version=$2 into=$3 upstream candidate
  mkdir -p "$into"
  if (cd "$into" && apt-get source -qq "$package=$version" >/dev/null 2>&1); then
    return 0
  fi
  upstream=${version#*:}
  upstream=${upstream%-*}
  for candidate in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -rV); do
    local c=${candidate#*:}
    [ "${c%-*}" = "$upstream" ] || continue
    [ "$candidate" = "$version" ] && continue
    if (cd "$into" && apt-get source -qq "$package=$candidate" >/dev/null 2>&1); then
      echo "note: $package $version is not offered as source; built $candidate instead" >&2
      return 0
    fi
  done
  echo "cannot fetch the source of $package $version" >&2
  return 1
}

cmake_dependency() {
  local src=$1 prefix=$2 triple=$3
  shift 3
  cmake -S "$src" -B "$src/_build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" -DSCENARIA_MINGW_TRIPLE="$triple" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_CROSSCOMPILING_EMULATOR= "$@" >/dev/null
  cmake --build "$src/_build" -j "$jobs" >/dev/null
  cmake --install "$src/_build" >/dev/null
}

# giflib ships a Makefile for Unix only; its library is eight C files.
build_giflib() {
  local src=$1 prefix=$2 triple=$3 objects=() f
  for f in dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray quantize; do
    [ -e "$src/$f.c" ] || continue
    "$triple-gcc-posix" -O2 -c "$src/$f.c" -I"$src" -o "$src/$f.o"
    objects+=("$src/$f.o")
  done
  mkdir -p "$prefix/lib" "$prefix/include"
  "$triple-ar" rcs "$prefix/lib/libgif.a" "${objects[@]}"
  cp "$src/gif_lib.h" "$prefix/include/"
}

# Builds (or finds in the cache) the dependencies for one target and prints their prefix.
build_dependencies() {
  local triple=$1 jpeg png gif key prefix work
  jpeg=$(source_of libjpeg62-turbo-dev)
  png=$(source_of libpng-dev)
  gif=$(source_of libgif-dev)
  key=$(printf '%s\n' "$jpeg" "$png" "$gif" "$(dpkg-query -W -f='${Version}' googletest)" \
    "$("$triple-g++-posix" -dumpfullversion)" "$(cat "$here/deps.sh" "$here/mingw-w64.cmake" | sha256sum)" |
    sha256sum | cut -c1-16)
  prefix=$cache/$triple-$key
  if [ -e "$prefix/.complete" ]; then
    echo "$prefix"
    return 0
  fi
  echo "=== Windows dependencies for $triple: $jpeg, $png, $gif, googletest" >&2
  work=$(mktemp -d "${TMPDIR:-/tmp}/scenaria-windows-deps.XXXXXX")
  rm -rf "$prefix"
  fetch_source $jpeg "$work/jpeg" >&2
  fetch_source $png "$work/png" >&2
  fetch_source $gif "$work/gif" >&2
  cmake_dependency "$(ls -d "$work"/jpeg/*/)" "$prefix" "$triple" -DENABLE_SHARED=OFF \
    -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DWITH_JPEG8=OFF >&2
  cmake_dependency "$(ls -d "$work"/png/*/)" "$prefix" "$triple" -DPNG_SHARED=OFF \
    -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON >&2
  build_giflib "$(ls -d "$work"/gif/*/)" "$prefix" "$triple" >&2
  cp -r /usr/src/googletest "$work/googletest"
  cmake_dependency "$work/googletest" "$prefix" "$triple" -DBUILD_GMOCK=ON >&2
  rm -rf "$work"
  touch "$prefix/.complete"
  echo "$prefix"
}
