#!/bin/sh
# Builds the shipped launcher.exe twice, from two copies of the sources in folders of different
# names and lengths, into build folders of different names, and compares the two files byte for
# byte: no build time, build path or source path may end up in the program.
#   reproducible_build.sh SOURCE_DIR SKINPACK WORK_DIR
set -eu
source=$1 skinpack=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
for copy in first the-second-copy; do
  mkdir -p "$work/$copy/src"
  (cd "$source" && tar cf - --exclude=./build --exclude=./.git --exclude='./build-*' .) | (cd "$work/$copy/src" && tar xf -)
  cmake -S "$work/$copy/src" -B "$work/$copy/out-$copy" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$work/$copy/src/cmake/toolchain-mingw-i686.cmake" \
    -DZINDLE_SKINPACK="$skinpack" >/dev/null
  ninja -C "$work/$copy/out-$copy" launcher_exe >/dev/null
done
first=$work/first/out-first/launcher.exe second=$work/the-second-copy/out-the-second-copy/launcher.exe
if cmp -l "$first" "$second" >"$work/differences"; then
  echo "reproducible: both builds give the same $(wc -c <"$first") bytes"
else
  echo "FAIL: the two builds differ in $(wc -l <"$work/differences") bytes; first differences (offset, bytes):"
  head -5 "$work/differences"
  exit 1
fi
