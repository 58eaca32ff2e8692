# Sourced by the entry points (test, demo, bench, fuzz). One list of what a run needs, and
# one way to get a build folder that works whatever an earlier run left there.
#
#   tools_ensure NAME "$@"  run scripts/setup when anything is missing, then start scripts/NAME
#                           again with the arguments
#   cmake_ready PRESET [DIR] [CMAKE ARGS...]
#                           configure PRESET (into DIR) when it has no working build file
#
# Both leave the caller's locale alone: they run before wine-env.sh is sourced.

_TOOLS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# What every entry point needs; scripts/setup installs each. Checked, never assumed.
tools_present() {
  local tool
  for tool in cmake ctest make i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ x86_64-w64-mingw32-objdump \
    Xvfb xdotool xwininfo import convert flock iconv clang python3; do
    command -v "$tool" >/dev/null || return 1
  done
  [ -x /usr/lib/wine/wine64 ] && [ -f /usr/src/googletest/CMakeLists.txt ] &&
    locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'
}

# 32-bit Wine runs under qemu here; without it only the i686 runs are skipped.
_tools_i386_ready() { [ -e /proc/sys/fs/binfmt_misc/qemu-i386-wine ]; }

tools_ensure() {
  local who=$1
  shift
  tools_present && _tools_i386_ready && return 0
  [ -z "${TOOL_SETUP_RAN:-}" ] || { tools_present && return 0; }
  echo "$who: running scripts/setup"
  "$_TOOLS_ROOT/scripts/setup" || tools_present || { echo "$who: scripts/setup failed" >&2; return 1; }
  tools_present || { echo "$who: tools are still missing after scripts/setup" >&2; return 1; }
  # This shell mapped the locale archive before setup added ja_JP.UTF-8 to it, so it could
  # not switch to that locale now: the script starts again in a new shell.
  TOOL_SETUP_RAN=1 exec "$_TOOLS_ROOT/scripts/$who" "$@"
}

# A folder from a configure that failed (a cache without a build file), from a machine that
# had other compilers, or half deleted, is configured again; when that fails too, the cache
# goes and one clean configure decides.
cmake_ready() {
  local preset=$1 dir=${2:-}
  shift $(($# < 2 ? $# : 2))
  local args=(--preset "$preset")
  [ -z "$dir" ] || args+=(-B "$dir")
  dir=${dir:-$_TOOLS_ROOT/build/$preset}
  if [ -f "$dir/CMakeCache.txt" ] && { [ -f "$dir/Makefile" ] || [ -f "$dir/build.ninja" ]; } &&
    _cmake_cache_tools_exist "$dir/CMakeCache.txt"; then
    return 0
  fi
  (cd "$_TOOLS_ROOT" && cmake "${args[@]}" "$@") && return 0
  echo "cmake: configuring $preset again from an empty cache" >&2
  rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
  (cd "$_TOOLS_ROOT" && cmake "${args[@]}" "$@")
}

# The compilers a cache names must still be there (a cache made before setup names none).
_cmake_cache_tools_exist() {
  local path
  while IFS= read -r path; do
    [ -z "$path" ] || [ -x "$path" ] || return 1
  done < <(sed -n 's/^CMAKE_\(C\|CXX\|RC\)_COMPILER:[A-Z]*=//p' "$1")
}
