# shellcheck shell=bash
# Sourced by the other libraries. One way to hold a lock file for as long as the process lives.
#
#   lock_take VAR FILE WHO   open FILE on a new descriptor, kept in VAR, and lock it; says once
#                            (as WHO) that it waits when another run holds it
#
# Children that outlive us (Xvfb, wineserver) must not inherit the descriptor: start them with
# {VAR}>&-, or the lock stays taken after we are gone.

lock_take() {
  local -n _lock_fd=$1
  local file=$2 who=$3
  mkdir -p "$(dirname "$file")"
  exec {_lock_fd}>>"$file"
  flock -n "$_lock_fd" && return 0
  echo "$who: waiting for another run that holds ${file#"${TOOL_ROOT:-$PWD}"/}" >&2
  flock "$_lock_fd"
}
