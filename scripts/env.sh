# Sourced: the build folder and the private Wine prefix every run uses.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
export WINEPREFIX=$BUILD/wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8

build_all() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$BUILD" -j "$(nproc)"
}

# One Xvfb and one persistent wineserver for the whole run: each program then starts in
# a fraction of a second instead of seconds.
start_wine() {
  if [ -z "${DISPLAY:-}" ]; then
    local n=$((90 + RANDOM % 400))
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
  fi
  mkdir -p "$WINEPREFIX"
  wineserver -p
  wineboot -i >/dev/null 2>&1 || true
  trap stop_wine EXIT
}

stop_wine() {
  wineserver -k 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}
