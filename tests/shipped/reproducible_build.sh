#!/bin/sh
# Builds the shipped launcher.exe from copies of the sources in folders of different names and
# lengths, into build folders of different names, and compares the programs byte for byte: no
# build time, build path or source path may end up in the program.
#   reproducible_build.sh SOURCE_DIR SKINPACK WORK_DIR [BUILT_LAUNCHER]
# With BUILT_LAUNCHER, the program the tree itself built from SOURCE_DIR (with the default
# options) is the first of the two, and one copy is built; without it, two copies are built.
set -eu
source=$1 skinpack=$2 work=$3 built=${4:-}
rm -rf "$work"
mkdir -p "$work"
copies="first the-second-copy"
[ -z "$built" ] || copies=the-second-copy
for copy in $copies; do
  mkdir -p "$work/$copy/src"
  (cd "$source" && tar cf - --exclude=./build --exclude=./.git --exclude='./build-*' .) | (cd "$work/$copy/src" && tar xf -)
  cmake -S "$work/$copy/src" -B "$work/$copy/out-$copy" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$work/$copy/src/cmake/toolchain-mingw-i686.cmake" \
    -DZINDLE_SKINPACK="$skinpack" >/dev/null
  ninja -C "$work/$copy/out-$copy" launcher_exe >/dev/null
done
first=${built:-$work/first/out-first/launcher.exe} second=$work/the-second-copy/out-the-second-copy/launcher.exe
if cmp -l "$first" "$second" >"$work/differences"; then
  echo "reproducible: $first and $second, built in two folders, are the same $(wc -c <"$first") bytes"
else
  echo "FAIL: the two builds differ in $(wc -l <"$work/differences") bytes; first differences (offset, bytes):"
  head -5 "$work/differences"
  [ -z "$built" ] || echo "($first is the tree's own build: is the tree built from the sources as they are now?)"
  exit 1
fi
