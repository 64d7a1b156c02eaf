# Shared by scripts/test and scripts/demo: a fresh Wine prefix and an Xvfb
# display for one run, both removed when the run ends, also on failure.

plumex_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

plumex_cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -n "${plumex_own_prefix:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  if [ -n "${plumex_xvfb_pid:-}" ]; then
    kill "$plumex_xvfb_pid" 2>/dev/null || true
    wait "$plumex_xvfb_pid" 2>/dev/null || true
  fi
}

# Starts Xvfb on the first free display from :90 and exports DISPLAY.
plumex_start_xvfb() {
  local n
  for n in $(seq 90 150); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    plumex_xvfb_pid=$!
    local i
    for i in $(seq 1 100); do
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$plumex_xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$plumex_xvfb_pid" 2>/dev/null || true
    plumex_xvfb_pid=
  done
  echo "could not start Xvfb" >&2
  return 1
}

# Whether this machine can run the win32 build under Wine at all: Wine's
# 32-bit loader must start. Some virtual machines run 64-bit user code only
# (their kernel refuses every 32-bit program with "Exec format error").
plumex_can_run_win32() {
  wine --version >/dev/null 2>&1
}

# A fresh prefix for this run; the wineserver stays up until the run ends so
# that every program starts quickly.
plumex_start_wine() {
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/plumex-wine-XXXXXX)
  plumex_own_prefix=1
  export WINEDEBUG=-all
  # The ANSI code page follows the locale; the tests expect Windows-1252.
  export LC_ALL=C.UTF-8
  export WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1
  wineserver -w
  wineserver -p
  # Wine's system processes start with the first program and live as long as
  # the server; start them here, away from the output pipes of tests.
  wine cmd /c exit </dev/null >/dev/null 2>&1
  plumex_warm_up_desktop
}

# The first window of a fresh prefix makes Wine create its desktop, which
# can take longer than a test waits for a window: open one here, wait until
# the desktop's tray exists, and close it again. Bounded by the inspector's
# timeout; skipped when the win32 test programs are not built.
plumex_warm_up_desktop() {
  local dir="$plumex_root/build/win32/tests/wine"
  [ -f "$dir/smoke_window.exe" ] && [ -f "$dir/inspector.exe" ] || return 0
  timeout 150 wine "$dir/smoke_window.exe" </dev/null >/dev/null 2>&1 &
  local pid=$!
  wine "$dir/inspector.exe" tray --timeout 120000 </dev/null >/dev/null 2>&1 || true
  wine "$dir/inspector.exe" post --class PlumexSmoke --msg 16 </dev/null >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
}

# Configures and builds one preset. Builds take a lock: the machine has two
# cores, and two builds at once only slow each other down.
plumex_build() {
  local preset=$1
  (
    flock 9
    cmake --preset "$preset" -S "$plumex_root" >/dev/null
    cmake --build --preset "$preset" -j 2
  ) 9>/tmp/plumex-build.lock
}

# The same, printing the build's output only when it fails.
plumex_build_quietly() {
  local log
  log=$(mktemp)
  if ! plumex_build "$1" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "build of $1 failed" >&2
    return 1
  fi
  rm -f "$log"
}
