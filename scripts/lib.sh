# Shared steps of scripts/run and scripts/test: install what is missing, build both trees,
# bring up a virtual screen and a persistent wineserver. Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
HOST_DIR=$BUILD_DIR/host
WIN32_DIR=$BUILD_DIR/win32   # the shipped 32-bit program and its tests
WIN64_DIR=$BUILD_DIR/win64   # the same sources for x86_64, tested under 64-bit Wine
# cmake/wine-exec finds each architecture's prefix here (build/wineprefix-win32, -win64).
export ZINDLE_BUILD_DIR=$BUILD_DIR
source "$ROOT/cmake/wine-env.sh"

# What the builds need, then what only running the programs and tests needs.
BUILD_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev libfuzzer-14-dev googletest
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  binutils util-linux python3
  zlib1g-dev libdeflate-dev liblzma-dev libbenchmark-dev xz-utils procps
  libpng-dev libz-mingw-w64-dev
)
RUN_PACKAGES=(
  wine wine64 wine32:i386 qemu-user-static
  xvfb xdotool imagemagick x11-utils
  osslsigncode openssl ca-certificates
)
PACKAGES=("${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}")
# What the host skinpack alone needs (scripts/skinpack).
TOOL_PACKAGES=(cmake ninja-build g++ clang libpng-dev)

# The running script's usage: the comment at its head after the #! line, without its '# '.
Usage() { awk 'NR == 1 { next } !/^#/ { exit } { sub(/^# ?/, ""); print }' "$0"; }

# A usage error: the problem in one line, then the usage, on standard error; exit code 2.
UsageError() {
  echo "scripts/${0##*/}: $1" >&2
  Usage >&2
  exit 2
}

# Refuses, as a usage error, arguments that ctest would pass over without a word: it takes no
# operands, so the first argument must be an option, and it ignores long options it does not know.
CheckCtestArguments() {
  [ $# -gt 0 ] || return 0
  case $1 in
    -?*) ;;
    *) UsageError "'$1' is not a ctest option (to run the tests labelled $1: -L $1)" ;;
  esac
  command -v ctest >/dev/null || return 0
  local known arg
  known=$(ctest --help 2>/dev/null | grep -o -- '--[A-Za-z0-9.-]*')
  for arg; do
    case $arg in
      --?*) grep -qxF -- "${arg%%=*}" <<<"$known" || UsageError "unknown ctest option '${arg%%=*}'" ;;
    esac
  done
}

# Refuses a ZINDLE_DISPLAY that is no display number, as a usage error.
CheckDisplayChoice() {
  [[ ${ZINDLE_DISPLAY:-} =~ ^(:?[0-9]+)?$ ]] ||
    UsageError "ZINDLE_DISPLAY must be a display number such as 99 or :99, not '$ZINDLE_DISPLAY'"
}

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# The packages among the arguments that are not installed, into MISSING.
FindMissing() {
  MISSING=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || MISSING+=("$p")
  done
}

# Reads the package index, once, for the packages named; adds the i386 architecture first when
# one of them comes from it (Wine's 32-bit half does), and reads the index again then.
PrepareApt() {
  case " $* " in
    *:i386\ *)
      if ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
        APT_UPDATED=
      fi ;;
  esac
  [ -z "${APT_UPDATED:-}" ] || return 0
  as_root apt-get update -qq && APT_UPDATED=1
}

# Installs the packages named, its output in the file LOG. Usage: AptInstall LOG PACKAGE...
# No fsync after every unpacked file: an interrupted install is simply run again.
AptInstall() {
  local log=$1
  shift
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o Dpkg::Options::=--force-unsafe-io "$@" </dev/null >"$log" 2>&1
}

# Installs the packages named (all of PACKAGES without arguments) that are missing.
EnsurePackages() {
  [ $# -gt 0 ] || set -- "${PACKAGES[@]}"
  FindMissing "$@"
  [ ${#MISSING[@]} -eq 0 ] && return 0
  echo "Installing: ${MISSING[*]}"
  PrepareApt "${MISSING[@]}" || return 1
  AptInstall "$BUILD_DIR/apt.log" "${MISSING[@]}" || { cat "$BUILD_DIR/apt.log"; return 1; }
}

# Installs what the builds need, then starts installing the rest in the background, so that a new
# machine builds while it installs Wine and the rest; WaitForPackages waits for that install.
EnsurePackagesWhileBuilding() {
  EnsurePackages "${BUILD_PACKAGES[@]}" || return 1
  FindMissing "${RUN_PACKAGES[@]}"
  [ ${#MISSING[@]} -eq 0 ] && return 0
  echo "Installing while building: ${MISSING[*]}"
  PrepareApt "${MISSING[@]}" || return 1
  AptInstall "$BUILD_DIR/apt-run.log" "${MISSING[@]}" &
  INSTALL_PID=$!
}

WaitForPackages() {
  [ -n "${INSTALL_PID:-}" ] || return 0
  local status=0
  wait "$INSTALL_PID" || status=$?
  INSTALL_PID=
  [ $status -eq 0 ] || { cat "$BUILD_DIR/apt-run.log"; echo "installing the packages failed" >&2; return 1; }
}

# Configures a Windows tree on first use. Usage: ConfigureWindowsTree DIR TOOLCHAIN
ConfigureWindowsTree() {
  [ -f "$1/build.ninja" ] && return 0
  cmake -S "$ROOT" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$2" \
    -DZINDLE_SKINPACK="$HOST_DIR/tools/skinpack/skinpack" >/dev/null
}

BuildAll() {
  if [ ! -f "$HOST_DIR/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$HOST_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || return 1
  fi
  # The Windows trees are configured while the host tree builds: configuring keeps about one core
  # busy for a few seconds, and needs only the path of the host's skinpack, not the program.
  local configure32 configure64 status=0
  ConfigureWindowsTree "$WIN32_DIR" toolchain-mingw-i686.cmake & configure32=$!
  ConfigureWindowsTree "$WIN64_DIR" toolchain-mingw-x86_64.cmake & configure64=$!
  ninja -C "$HOST_DIR" -j"${JOBS:-2}" || status=1
  wait "$configure32" || status=1
  wait "$configure64" || status=1
  [ $status = 0 ] || return 1
  ninja -C "$WIN32_DIR" -j"${JOBS:-2}" || return 1
  ninja -C "$WIN64_DIR" -j"${JOBS:-2}" || return 1
  # `ctest --test-dir build` finds the tests after any build, not only after scripts/test; it
  # keeps the trees scripts/test chose last.
  [ -f "$BUILD_DIR/CTestTestfile.cmake" ] && return 0
  if [ "$(LauncherTree)" = win32 ]; then WriteTestFile win64 win32; else WriteTestFile win64; fi
}

# Writes the top-level CTest file: one CTest tree over the host tree and the Windows trees named,
# so that one run ends with one summary line. The shipped program's own checks run on every
# machine, natively or under emulation. Usage: WriteTestFile WINDOWS_TREE...
WriteTestFile() {
  local dirs='"host"' tree
  for tree; do dirs="$dirs \"$tree\""; done
  case " $* " in *" win32 "*) ;; *) dirs="$dirs \"win32/tests/shipped\"" ;; esac
  printf 'subdirs(%s)\n' "$dirs" >"$BUILD_DIR/CTestTestfile.cmake"
}

# The tree whose launcher.exe a player's view is shown from: the shipped 32-bit program where this
# machine runs it natively, else its x86_64 build, which looks the same.
LauncherTree() {
  if [[ $("$ROOT/scripts/probe-i386") == native* ]]; then echo win32; else echo win64; fi
}

# Chooses the Windows trees whose tests run here, into WINE_TREES, and prints one line saying
# which and why. The 64-bit tree runs wherever 64-bit Wine does; the 32-bit tree only where the
# kernel runs 32-bit programs itself (an emulator registered for them does not count).
# ZINDLE_WINE=win32|win64|both forces the choice; a forced tree that cannot run is an error.
ChooseWineTrees() {
  local probe native=
  probe=$("$ROOT/scripts/probe-i386")
  case $probe in native*) native=1 ;; esac
  case ${ZINDLE_WINE:-auto} in
    auto)
      if [ -n "$native" ]; then
        WINE_TREES="win64 win32"
        echo "Windows tests: win64 and win32 trees; $probe"
      else
        WINE_TREES="win64"
        echo "Windows tests: win64 tree only, and the shipped 32-bit program under CPU emulation; $probe"
      fi ;;
    win64)
      WINE_TREES="win64"
      echo "Windows tests: win64 tree only (ZINDLE_WINE=win64); $probe" ;;
    win32|both)
      if [ -z "$native" ]; then
        echo "ZINDLE_WINE=$ZINDLE_WINE: the win32 tree cannot run here, since this machine runs no 32-bit programs natively: $probe" >&2
        return 1
      fi
      if [ "$ZINDLE_WINE" = both ]; then WINE_TREES="win64 win32"; else WINE_TREES="win32"; fi
      echo "Windows tests: ${WINE_TREES/ / and } (ZINDLE_WINE=$ZINDLE_WINE); $probe" ;;
    *)
      echo "ZINDLE_WINE must be win32, win64 or both, not '$ZINDLE_WINE'" >&2
      return 1 ;;
  esac
  WriteTestFile $WINE_TREES
}

# Starts Xvfb and exports DISPLAY: on display ZINDLE_DISPLAY when it is set (one that is taken is
# an error), else on the first free number from 90 to 140. SCREEN_SIZE (default 1024x768) sets
# its size.
StartScreen() {
  local n numbers
  if [ -n "${ZINDLE_DISPLAY:-}" ]; then
    n=${ZINDLE_DISPLAY#:}
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then
      echo "display :$n (ZINDLE_DISPLAY) is taken: /tmp/.X$n-lock or /tmp/.X11-unix/X$n exists; choose another number or unset ZINDLE_DISPLAY" >&2
      return 1
    fi
    numbers=$n
  else
    numbers=$(seq 90 140)
  fi
  for n in $numbers; do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "${SCREEN_SIZE:-1024x768}x24" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
      # Ours once its lock names it: a server of another run on the same number (whose lock this
      # run cannot see) would answer too.
      [ "$(tr -d ' ' 2>/dev/null <"/tmp/.X$n-lock")" = "$XVFB_PID" ] && xdpyinfo >/dev/null 2>&1 && return 0
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
  done
  if [ -n "${ZINDLE_DISPLAY:-}" ]; then
    echo "could not start Xvfb on display :$n (ZINDLE_DISPLAY): is it taken by a server this run cannot see?" >&2
  else
    echo "could not start Xvfb" >&2
  fi
  return 1
}

StopScreen() {
  if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
  XVFB_PID=
}

# Makes each chosen tree's prefix on first use and keeps one wineserver per prefix running for the
# whole run, so that each program start does not pay for a server start.
StartWine() {
  local tree
  for tree in ${WINE_TREES-win64}; do
    "$ROOT/cmake/wine-prefix" "$tree" "$BUILD_DIR/wineprefix-$tree" || return 1
    (
      WineEnvironment "$tree"
      export WINEPREFIX="$BUILD_DIR/wineprefix-$tree"
      wineserver -p >/dev/null 2>&1 &
      # The first program of a server session starts the prefix's services and desktop process;
      # start them here, detached from any test's output, so no test waits on their open pipes.
      "$WINE_LOADER" cmd /c exit >/dev/null 2>&1 </dev/null || true
      # Holds the desktop for the whole run (see tests/support/desktop_keeper.c).
      local keeper="$BUILD_DIR/$tree/tests/support/desktop_keeper.exe"
      if [ -f "$keeper" ]; then "$WINE_LOADER" "$keeper" >/dev/null 2>&1 </dev/null & fi
    )
  done
}

StopWine() {
  local tree
  for tree in ${WINE_TREES-win64}; do
    WINEPREFIX="$BUILD_DIR/wineprefix-$tree" wineserver -k >/dev/null 2>&1 || true
  done
}

# Exports WINEPREFIX (and the tree's Wine environment) for a copy of the tree's prefix whose screen
# is set to DPI dots per inch (96 = 100 %), made afresh each time; StopDpiPrefix stops its server.
# Usage: UseDpiPrefix TREE DPI
UseDpiPrefix() {
  DPI_PREFIX=$BUILD_DIR/wineprefix-$1-dpi$2
  rm -rf "$DPI_PREFIX"
  cp -a "$BUILD_DIR/wineprefix-$1" "$DPI_PREFIX"
  WineEnvironment "$1"
  export WINEPREFIX=$DPI_PREFIX
  "$WINE_LOADER" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$2" /f >/dev/null 2>&1
}

StopDpiPrefix() {
  if [ -n "${DPI_PREFIX:-}" ]; then WINEPREFIX=$DPI_PREFIX wineserver -k >/dev/null 2>&1 || true; fi
  DPI_PREFIX=
}
