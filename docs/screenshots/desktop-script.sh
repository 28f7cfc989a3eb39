# What the screenshot scripts share, sourced by them: the re-start inside the test desktop, a
# neutral folder of their own, the program started from a copy there, and its tray menu.
# The script sets `here` and `root` before sourcing this.

# Outside the desktop: checks the build and the tools, then starts the calling script again
# inside desktop-session with these options. Inside: sets `build`.
#   enter_desktop "tool ..." "desktop-session option ..." "$@"
enter_desktop() {
  local tools=$1 options=$2
  shift 2
  if [ "${1:-}" != --inside ]; then
    local build=${1:-$root/build} program tool
    for program in scenarix desktop-session; do
      [ -x "$build/bin/$program" ] || { echo "missing $build/bin/$program: run ./build.sh test" >&2; exit 1; }
    done
    for tool in $tools; do
      command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
    done
    # shellcheck disable=SC2086 # the options are separate words
    exec "$build/bin/desktop-session" $options -- "$0" --inside "$build"
  fi
  build=$2
}

# The windows show the picture folder's path: a neutral one, not one of this machine's. The
# program gets a home of its own beside it, so that nothing of this machine's user comes into
# the picture. Sets `work`; everything in it goes when the script ends.
make_work() {
  work=/tmp/scenaria-screenshot
  rm -rf "$work"
  mkdir -p "$work/Pictures" "$work/home"
  trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
}

# Starts the program from a copy in the work folder with these settings; sets `pid`.
start_program() {
  cp "$build/bin/scenarix" "$work/"
  printf '%b' "$1" >"$work/scenarix.INI"
  HOME=$work/home QT_QPA_PLATFORM=xcb "$work/scenarix" 2>/dev/null &
  pid=$!
}

# Right click on the tray icon, then the menu entry of this key.
tray_menu() {
  local icon X Y WIDTH HEIGHT SCREEN
  icon=$(xdotool search --sync --onlyvisible --classname scenarix | head -n1)
  eval "$(xdotool getwindowgeometry --shell "$icon")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
  sleep 0.5
  xdotool key "$1"
}
