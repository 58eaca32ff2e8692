# shellcheck shell=bash
# Sourced first by the entry points (test, demo, bench, fuzz). One list of what a run needs,
# one way to get a build folder that works whatever an earlier run left there, one build step.
#
#   tools_ensure [--native] [--need CMD]... NAME "$@"
#                           run scripts/setup when anything is missing, then start scripts/NAME
#                           again with the arguments; --native: no 32-bit Wine needed (fuzz);
#                           --need: a command only this entry point uses (makensis: bench)
#   cmake_ready DIR CONFIGURE-ARGS...
#                           configure DIR (cmake -B DIR ARGS) when it has no working build file
#   tool_build [--log FILE] [--keep-going] [--target T]... DIR CONFIGURE-ARGS...
#                           cmake_ready, then build DIR, in the caller's own locale and home
#
# Sourced before wine-env.sh, which changes locale and home for Wine: the values seen here are
# the caller's, and the builds get them back.

_TOOLS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=lock.sh
source "$_TOOLS_ROOT/scripts/lib/lock.sh"

_TOOLS_HOST_SET=() _TOOLS_HOST_UNSET=()
for _v in LANG LC_ALL LANGUAGE HOME; do
  if [ -n "${!_v+set}" ]; then _TOOLS_HOST_SET+=("$_v=${!_v}"); else _TOOLS_HOST_UNSET+=("$_v"); fi
done
unset _v

# Runs a command with the caller's locale and home.
host_run() {
  (
    unset "${_TOOLS_HOST_UNSET[@]}"
    [ ${#_TOOLS_HOST_SET[@]} -eq 0 ] || export "${_TOOLS_HOST_SET[@]}"
    "$@"
  )
}

# What every entry point needs, and the commands named: scripts/setup installs each. Checked,
# never assumed.
tools_present() {
  local tool
  for tool in cmake ctest make i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ x86_64-w64-mingw32-objdump \
    Xvfb xdotool xwininfo import convert flock iconv clang python3 shellcheck openssl osslsigncode \
    softhsm2-util pkcs11-tool xorriso osirrox "$@"; do
    command -v "$tool" >/dev/null || return 1
  done
  [ -x /usr/lib/wine/wine64 ] && [ -x /usr/lib/wine/wine64-preloader ] &&
    [ -f "$(openssl version -e | sed -n 's/^ENGINESDIR: "\(.*\)"$/\1/p')/pkcs11.so" ] &&
    [ -f /usr/lib/python3/dist-packages/pefile.py ] &&
    [ -f /usr/src/googletest/CMakeLists.txt ] &&
    grep -qi '^ja_JP\.utf-\?8$' <<<"$(locale -a 2>/dev/null)"
}

# 32-bit Wine runs under qemu here; without it only the i686 runs are skipped.
_tools_i386_ready() { [ -e /proc/sys/fs/binfmt_misc/qemu-i386-wine ] && [ -x /usr/lib/wine/wine-preloader ]; }

tools_ensure() {
  local native='' need=()
  while :; do
    case $1 in
      --native) native=1; shift ;;
      --need) need+=("$2"); shift 2 ;;
      *) break ;;
    esac
  done
  local who=$1
  shift
  tools_present "${need[@]}" && { [ -n "$native" ] || _tools_i386_ready; } && return 0
  [ -z "${TOOL_SETUP_RAN:-}" ] || { tools_present "${need[@]}" && return 0; }
  echo "$who: running scripts/setup"
  "$_TOOLS_ROOT/scripts/setup" || tools_present "${need[@]}" || { echo "$who: scripts/setup failed" >&2; return 1; }
  tools_present "${need[@]}" || { echo "$who: tools are still missing after scripts/setup" >&2; return 1; }
  # This shell mapped the locale archive before setup added ja_JP.UTF-8 to it, so it could
  # not switch to that locale now: the script starts again in a new shell.
  TOOL_SETUP_RAN=1 exec "$_TOOLS_ROOT/scripts/$who" "$@"
}

# A folder from a configure that failed (a cache without a build file), from a machine that
# had other compilers, or half deleted, is configured again; when that fails too, the cache
# goes and one clean configure decides.
cmake_ready() {
  local dir=$1
  shift
  if [ -f "$dir/CMakeCache.txt" ] && { [ -f "$dir/Makefile" ] || [ -f "$dir/build.ninja" ]; } &&
    _cmake_cache_tools_exist "$dir/CMakeCache.txt"; then
    return 0
  fi
  (cd "$_TOOLS_ROOT" && cmake -B "$dir" "$@") && return 0
  echo "cmake: configuring ${dir#"$_TOOLS_ROOT"/} again from an empty cache" >&2
  rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
  (cd "$_TOOLS_ROOT" && cmake -B "$dir" "$@")
}

# The compilers a cache names must still be there (a cache made before setup names none).
_cmake_cache_tools_exist() {
  local path
  while IFS= read -r path; do
    [ -z "$path" ] || [ -x "$path" ] || return 1
  done < <(sed -n 's/^CMAKE_\(C\|CXX\|RC\)_COMPILER:[A-Z]*=//p' "$1")
}

# --keep-going builds every target that can be built past a broken one (scripts/test: every
# test that can still run, runs). --log keeps the output in FILE and shows its end on failure.
tool_build() {
  local log='' keep='' targets=() dir
  while [ $# -gt 0 ]; do
    case $1 in
      --log) log=$2; shift 2 ;;
      --keep-going) keep=-k; shift ;;
      --target) targets+=(--target "$2"); shift 2 ;;
      *) break ;;
    esac
  done
  dir=$1
  shift
  [ -z "$log" ] || mkdir -p "$(dirname "$log")"
  host_run _tool_build "$log" "$dir" "$keep" "${targets[@]}" -- "$@" && return 0
  [ -z "$log" ] || tail -n 30 "$log" >&2
  return 1
}

_tool_build() {
  local log=$1 dir=$2 keep=$3 targets=()
  shift 3
  while [ "$1" != -- ]; do targets+=("$1"); shift; done
  shift
  [ -z "$log" ] || exec >"$log" 2>&1
  cmake_ready "$dir" "$@" || return 1
  # Make resolves the targets before it regenerates a build file whose CMakeLists changed: a
  # target added since the last configure would be unknown. (Ninja regenerates first.)
  if [ ${#targets[@]} -gt 0 ] && [ -f "$dir/Makefile" ]; then
    cmake --build "$dir" --target cmake_check_build_system || return 1
  fi
  # Ninja takes "-k 0" for "never stop".
  [ -z "$keep" ] || ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja' "$dir/CMakeCache.txt" || keep='-k 0'
  # shellcheck disable=SC2086  # keep is one or two words
  cmake --build "$dir" -j "$(nproc)" "${targets[@]}" ${keep:+-- $keep}
}
