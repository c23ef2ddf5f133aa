# Sourced: the build folder and the private Wine prefix every run uses.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
export WINEPREFIX=$BUILD/wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
source "$ROOT/scripts/guest.sh"

build_all() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$BUILD" -j "$(nproc)"
}

# One Xvfb and one persistent wineserver for the whole run: each program then starts in
# a fraction of a second instead of seconds.
start_wine() {
  # The locale pins the ANSI code page (1252) for Wine; set only now, once it exists.
  export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
  if [ -z "${DISPLAY:-}" ]; then
    # Xvfb picks a free display itself and writes its number to fd 3.
    local numfile; numfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 200); do [ -s "$numfile" ] && break; sleep 0.05; done
    [ -s "$numfile" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$numfile")"
    rm -f "$numfile"
  fi
  mkdir -p "$WINEPREFIX"
  wineserver -p
  wineboot -i >/dev/null 2>&1 || { echo "wineboot failed for $WINEPREFIX" >&2; return 1; }
  trap stop_wine EXIT
}

stop_wine() {
  wineserver -k 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}

# Runs "$@" with Wine ready: here, or in the guest where this kernel runs no 32-bit programs
# (or KVR_GUEST=1 asks for it). The exit status is the command's.
run_with_wine() {
  if [ -z "${KVR_IN_GUEST:-}" ] && use_guest; then
    echo "This machine runs no 32-bit programs (or KVR_GUEST=1): running under Wine in a qemu guest."
    guest_run "$@"
  else
    start_wine && "$@"
  fi
}
