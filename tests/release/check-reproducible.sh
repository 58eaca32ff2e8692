#!/usr/bin/env bash
# Two clean builds of the release from this source tree, in two fresh folders whose paths
# differ in name and length, must give the same program file byte for byte: no time stamp,
# no build path, a deterministic icon. Arguments after WORK_DIR go to the second configure
# only: -DCMAKE_CXX_STANDARD_LIBRARIES=-Wl,--insert-timestamp (last on the link line) shows
# that the comparison fails on a time-stamped build.
#
# usage: check-reproducible.sh SOURCE_DIR WORK_DIR [CMAKE_ARGS...]
set -euo pipefail
src=$1 work=$2
shift 2
exe=Norvik_InstallTool64.exe
first=$work/a second=$work/second-build
rm -rf "$first" "$second"
mkdir -p "$work"

build() {
  local dir=$1
  shift
  if ! (cd "$src" && cmake --preset release -B "$dir" "$@" && cmake --build "$dir" -j "$(nproc)") >"$dir.log" 2>&1; then
    tail -n 30 "$dir.log"
    echo "release build in $dir failed (log: $dir.log)"
    exit 1
  fi
}
build "$first"
build "$second" "$@"

sum_a=$(sha256sum <"$first/$exe" | cut -d' ' -f1)
sum_b=$(sha256sum <"$second/$exe" | cut -d' ' -f1)
if [ "$sum_a" != "$sum_b" ]; then
  echo "the two builds differ:"
  echo "  $sum_a  $first/$exe"
  echo "  $sum_b  $second/$exe"
  echo "first differing bytes (offset, octal values):"
  cmp -l "$first/$exe" "$second/$exe" | head -n 8 || true
  echo "$(cmp -l "$first/$exe" "$second/$exe" | wc -l) bytes differ; both builds are kept in $work"
  exit 1
fi
echo "reproducible: $sum_a  $exe ($(stat -c %s "$first/$exe") bytes)"
rm -rf "$first" "$second" "$first.log" "$second.log"
