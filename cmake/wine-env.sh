# The environment of one Wine architecture; sourced by wine-exec, wine-prefix and the scripts.
# WineEnvironment win32|win64 exports what Wine reads and sets WINE_LOADER to its loader.
# Debian's `wine` command always prefers the 32-bit loader, so the loaders are named directly.
WineEnvironment() {
  export WINEDEBUG="${WINEDEBUG:--all}"
  # No Mono or Gecko installers in a prefix: the launcher needs neither.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  export WINEARCH="$1"
  if [ "$1" = win64 ]; then
    WINE_LOADER=/usr/lib/wine/wine64
    # Wine starts further processes of the prefix through this loader.
    export WINELOADER=$WINE_LOADER
  else
    WINE_LOADER=/usr/lib/wine/wine
    unset WINELOADER
  fi
}

# BuildDirOf PROGRAM: the build folder (ZINDLE_BUILD_DIR, or else the folder above the CMake tree
# that holds the program), printed; fails when there is none.
BuildDirOf() {
  if [ -n "$ZINDLE_BUILD_DIR" ]; then echo "$ZINDLE_BUILD_DIR"; return 0; fi
  _dir=$(cd "$(dirname "$1")" 2>/dev/null && pwd)
  while [ -n "$_dir" ] && [ "$_dir" != / ] && [ ! -f "$_dir/CMakeCache.txt" ]; do _dir=$(dirname "$_dir"); done
  if [ -z "$_dir" ] || [ "$_dir" = / ]; then
    echo "'$1' lies in no build tree; set ZINDLE_BUILD_DIR" >&2
    return 1
  fi
  dirname "$_dir"
}
