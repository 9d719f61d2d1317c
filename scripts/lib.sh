# Shared steps of scripts/run and scripts/test: install what is missing, build both trees,
# bring up a virtual screen and a persistent wineserver. Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
HOST_DIR=$BUILD_DIR/host
WIN_DIR=$BUILD_DIR/win32
export WINEPREFIX=${WINEPREFIX:-$BUILD_DIR/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers in the prefix: the launcher needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev libfuzzer-14-dev googletest
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  wine wine32:i386 xvfb xdotool imagemagick x11-utils python3
  zlib1g-dev libdeflate-dev liblzma-dev libbenchmark-dev xz-utils procps
  libpng-dev libz-mingw-w64-dev
)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

EnsurePackages() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    </dev/null >"$BUILD_DIR/apt.log" 2>&1 || { cat "$BUILD_DIR/apt.log"; return 1; }
}

BuildAll() {
  local jobs=${JOBS:-2}
  if [ ! -f "$HOST_DIR/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$HOST_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || return 1
  fi
  ninja -C "$HOST_DIR" -j"$jobs" || return 1
  if [ ! -f "$WIN_DIR/build.ninja" ]; then
    cmake -S "$ROOT" -B "$WIN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw-i686.cmake" \
      -DZINDLE_SKINPACK="$HOST_DIR/tools/skinpack/skinpack" >/dev/null || return 1
  fi
  ninja -C "$WIN_DIR" -j"$jobs" || return 1
  # One CTest tree over both builds, so that one run ends with one summary line.
  printf 'subdirs("host" "win32")\n' >"$BUILD_DIR/CTestTestfile.cmake"
}

# Starts Xvfb on a free display number and exports DISPLAY.
StartScreen() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "could not start Xvfb" >&2
  return 1
}

StopScreen() {
  if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
  XVFB_PID=
}

# Creates the 32-bit prefix on first use and keeps one wineserver running for the whole run,
# so that each program start does not pay for a server start.
StartWine() {
  if [ ! -f "$WINEPREFIX/.zindle-ready" ]; then
    echo "Preparing the Wine prefix in $WINEPREFIX (first run only)"
    wineboot -i >/dev/null 2>&1
    # A crashing program ends at once with an error code instead of waiting in a debugger.
    local aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
    wine reg add "$aedebug" /v Debugger /d no-debugger.exe /f >/dev/null 2>&1
    wine reg add "$aedebug" /v Auto /d 1 /f >/dev/null 2>&1
    # The virtual screen has no window manager: Wine places windows itself instead of waiting
    # for one on every window it opens or closes.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.zindle-ready"
  fi
  wineserver -p >/dev/null 2>&1 &
  # The first program of a server session starts the prefix's services and desktop process;
  # start them here, detached from any test's output, so no test waits on their open pipes.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

StopWine() { wineserver -k >/dev/null 2>&1 || true; }
