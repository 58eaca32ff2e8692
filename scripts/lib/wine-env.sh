# shellcheck shell=bash
# Sourced by the scripts. One Wine test environment, the same on every machine, kept under
# build/wine: sourcing only sets variables and defines functions; wine_start does the work.
#
#   wine_start        lock, Xvfb, prefix (created once), fresh wineserver; exports TOOL_WINE_READY
#   wine_stop         wineserver -k for our prefix, Xvfb stopped, lanes stopped
#   wine64_run ARGS   a 64-bit Wine program with this environment
#   wine_env_at DIR   point every variable below at the environment kept in DIR
#   wine_prefix_seed [--fresh] FROM
#                     make our prefix a copy of the prefix FROM (minutes saved over wineboot)
#   wine_lanes_start N / wine_lanes_stop
#                     N more environments beside ours, each a copy of our prefix with its own
#                     drives, home and Xvfb display (scripts/test runs desktop tests in them)
#
# Exported for the tests: TOOL_ROOT, TOOL_BUILD, TOOL_CDROM_D, TOOL_CDROM_E (Unix folders
# behind the CD-ROM drives D: and E:), DISPLAY while Xvfb runs. TOOL_WINE (default build/wine)
# holds prefix, drives, lock and logs.

TOOL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TOOL_BUILD=$TOOL_ROOT/build
export TOOL_ROOT TOOL_BUILD
# shellcheck source=lock.sh
source "$TOOL_ROOT/scripts/lib/lock.sh"

wine_env_at() {
  export TOOL_WINE=$1
  export TOOL_CDROM_D=$TOOL_WINE/cdrom/d TOOL_CDROM_E=$TOOL_WINE/cdrom/e
  # Wine links its user folders into $HOME: keep that in build/ too.
  export WINEPREFIX=$TOOL_WINE/prefix HOME=$TOOL_WINE/home
}

# A test that ctest runs in a lane (scripts/test hands out lanes as the resource "lane") finds
# that lane ready: its prefix, drives and display, apart from every other lane's.
if [ -n "${TOOL_WINE_LANES:-}" ] && [[ ${CTEST_RESOURCE_GROUP_0_LANE:-} =~ ^id:([0-9]+), ]] &&
  [ -s "$TOOL_WINE_LANES/${BASH_REMATCH[1]}/xvfb.display" ]; then
  wine_env_at "$TOOL_WINE_LANES/${BASH_REMATCH[1]}"
  DISPLAY=":$(tr -d '[:space:]' <"$TOOL_WINE/xvfb.display")"
  export TOOL_WINE_READY=$WINEPREFIX DISPLAY
else
  wine_env_at "${TOOL_WINE:-$TOOL_BUILD/wine}"  # a private environment may be named by the caller
fi

# Once i386 binfmt is registered, plain `wine` is the 32-bit loader under qemu (minutes per
# start, even for reg or wineboot), so every 64-bit call goes to wine64 by its full path.
export WINE64=/usr/lib/wine/wine64
export WINELOADER=$WINE64 WINESERVER=/usr/lib/wine/wineserver64
export WINEARCH=win64 WINEDEBUG=-all
# No Mono/Gecko install prompt; no menu entries written into the Linux desktop.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
# The locale gives code page 932.
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
unset LANGUAGE

wine64_run() { "$WINE64" "$@"; }

# What the prefix gets beyond wineboot. Any change here rebuilds the prefix (see _wine_stamp).
# FontSubstitutes serves 32-bit programs too: Wine links the Wow6432Node key to this one. No
# crash dialog: a crashing test must end, not wait for a click.
_wine_registry() {
  local fonts='"ＭＳ Ｐゴシック"="IPAPGothic"
"MS PGothic"="IPAPGothic"'
  cat <<EOF
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]
"d:"="cdrom"
"e:"="cdrom"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]
$fonts

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
$fonts

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000
EOF
}

# 32-bit support goes into the prefix only when qemu can run the i386 loader; a prefix made
# without it must be rebuilt once it can.
_wine_has_i386() { grep -qs qemu-i386 /proc/sys/fs/binfmt_misc/qemu-i386*; }

_wine_stamp() {
  { "$WINE64" --version; _wine_registry; _wine_has_i386 && echo i386; echo layout 1; } | sha1sum | cut -d' ' -f1
}

# Serialises everything that uses the prefix (and the builds of scripts/test) across callers.
wine_lock() {
  [ -n "${TOOL_WINE_LOCK_FD:-}" ] && return 0
  lock_take TOOL_WINE_LOCK_FD "$TOOL_WINE/lock" wine-env
  TOOL_WINE_OWNER=1
}

wine_xvfb_start() {
  [ -n "${TOOL_XVFB_PID:-}" ] && kill -0 "$TOOL_XVFB_PID" 2>/dev/null && return 0
  local dfile=$TOOL_WINE/xvfb.display
  mkdir -p "$TOOL_WINE"
  : >"$dfile"
  # -displayfd lets Xvfb pick a free display and tells us once it accepts clients. It must
  # not inherit the lock, or a leftover Xvfb would block every later run.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dfile" >"$TOOL_WINE/xvfb.log" 2>&1 \
    {TOOL_WINE_LOCK_FD}>&- &
  TOOL_XVFB_PID=$!
  echo "$TOOL_XVFB_PID" >"$TOOL_WINE/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$dfile" ] && break
    kill -0 "$TOOL_XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  if [ ! -s "$dfile" ]; then
    cat "$TOOL_WINE/xvfb.log" >&2
    echo "wine-env: Xvfb did not start" >&2
    return 1
  fi
  DISPLAY=":$(tr -d '[:space:]' <"$dfile")"
  export DISPLAY TOOL_XVFB_PID
}

wine_xvfb_stop() {
  [ -n "${TOOL_XVFB_PID:-}" ] || return 0
  { kill "$TOOL_XVFB_PID" && wait "$TOOL_XVFB_PID"; } 2>/dev/null || true
  rm -f "$TOOL_WINE/xvfb.pid" "$TOOL_WINE/xvfb.display"
  unset TOOL_XVFB_PID
}

_wine_server_kill() { "$WINESERVER" -k 2>/dev/null || true; "$WINESERVER" -w 2>/dev/null || true; }

# The folders a fresh Windows has and the tool and its tests rely on, one a line.
_wine_folders() {
  local c=$WINEPREFIX/drive_c user
  printf '%s\n' "$c/Program Files/Common Files" "$c/Program Files (x86)/Common Files" \
    "$c/windows/temp" "$c/ProgramData/Microsoft/Windows/Start Menu/Programs" "$c/users/Public/Desktop"
  for user in "$c"/users/*/; do
    [ "$(basename "$user")" = Public ] && continue
    printf '%s\n' "${user}Desktop" "${user}Temp" "${user}AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
  done
}

_wine_prefix_create() {
  local t0=$SECONDS link
  echo "wine-env: creating the Wine prefix $WINEPREFIX (once; minutes when 32-bit support is set up)" >&2
  _wine_server_kill
  rm -rf "$WINEPREFIX" "$HOME"
  mkdir -p "$HOME"
  wine64_run wineboot -i >"$TOOL_WINE/wineboot.log" 2>&1 \
    || { cat "$TOOL_WINE/wineboot.log" >&2; echo "wine-env: wineboot -i failed" >&2; return 1; }
  # Wine links Desktop, Documents ... all to $HOME; real folders keep them apart, as on Windows.
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    [ -L "$link" ] && rm "$link" && mkdir "$link"
  done
  # No automatic prefix update behind our back when the Wine package changes: the stamp
  # rebuilds the prefix instead.
  echo disable >"$WINEPREFIX/.update-timestamp"
  ln -sfn ../../cdrom/d "$WINEPREFIX/dosdevices/d:"
  ln -sfn ../../cdrom/e "$WINEPREFIX/dosdevices/e:"
  { printf '\xff\xfe'; _wine_registry | iconv -f UTF-8 -t UTF-16LE; } >"$TOOL_WINE/settings.reg"
  wine64_run regedit /S "Z:${TOOL_WINE//\//\\}\\settings.reg" \
    || { echo "wine-env: regedit failed" >&2; return 1; }
  # The drives are read when the server starts; -k also writes the registry to disk.
  _wine_server_kill
  echo "wine-env: prefix ready in $((SECONDS - t0)) s" >&2
}

wine_prefix_ensure() {
  local stamp
  mkdir -p "$TOOL_CDROM_D" "$TOOL_CDROM_E"
  stamp=$(_wine_stamp)
  if [ "$(cat "$WINEPREFIX/.tool-stamp" 2>/dev/null)" != "$stamp" ] || [ -n "${TOOL_WINE_FRESH:-}" ]; then
    _wine_prefix_create || return 1
    echo "$stamp" >"$WINEPREFIX/.tool-stamp"
  fi
  local dirs
  mapfile -t dirs < <(_wine_folders)
  mkdir -p "${dirs[@]}"
}

# wine_prefix_seed [--fresh] FROM: a prefix made elsewhere is copied, not made again, when it is
# current (its stamp matches) and ours is not, or always with --fresh (the drives are emptied
# too). Fails when FROM is not current.
#  - Wine's own programs and DLLs (_WINE_SHARED, over a gigabyte) are hard links to FROM's:
#    nothing writes them once the prefix is made (its updates are off), and a lane is then
#    ready in a second. Everything else (registry, users, Program Files ...) is a real copy.
#  - Wine replaces its registry files through a temporary file and a rename, so a copy taken
#    while another run uses FROM is consistent; files deleted meanwhile are no loss.
#  - Its CD-ROM links are relative: the copy uses our own drive folders.
_WINE_SHARED=(drive_c/windows/system32 drive_c/windows/syswow64 drive_c/windows/winsxs)
wine_prefix_seed() {
  local fresh='' from stamp copy=$WINEPREFIX.copy dir excludes=()
  [ "$1" != --fresh ] || { fresh=1; shift; }
  from=$1
  stamp=$(_wine_stamp)
  [ -z "$fresh" ] && [ "$(cat "$WINEPREFIX/.tool-stamp" 2>/dev/null)" = "$stamp" ] && return 0
  [ "$(cat "$from/.tool-stamp" 2>/dev/null)" = "$stamp" ] || return 1
  _wine_server_kill
  rm -rf "$WINEPREFIX" "$copy" "$HOME"
  [ -z "$fresh" ] || rm -rf "$TOOL_CDROM_D" "$TOOL_CDROM_E"
  mkdir -p "$copy" "$HOME" "$TOOL_CDROM_D" "$TOOL_CDROM_E"
  for dir in "${_WINE_SHARED[@]}"; do excludes+=(--exclude "./$dir"); done
  tar -C "$from" "${excludes[@]}" -cf - . 2>/dev/null | tar -C "$copy" -xf - 2>/dev/null || true
  for dir in "${_WINE_SHARED[@]}"; do
    [ -d "$from/$dir" ] || continue
    # Another file system: a real copy.
    cp -al "$from/$dir" "$copy/$dir" 2>/dev/null ||
      { rm -rf "${copy:?}/$dir" && cp -a "$from/$dir" "$copy/$dir" 2>/dev/null; } || true
  done
  [ -f "$copy/system.reg" ] && [ "$(cat "$copy/.tool-stamp" 2>/dev/null)" = "$stamp" ] &&
    mv "$copy" "$WINEPREFIX"
}

# A server left by an earlier run may point at a display that is gone. The new one stays up
# between test programs (each then starts in a fraction of a second), but not forever if this
# run is killed, and without the lock.
# Wine's services and desktop start now, alone: two test programs that started them side by
# side have waited a minute for each other. rundll32 without arguments only loads user32.
_wine_server_start() {
  _wine_server_kill
  "$WINESERVER" -p60 {TOOL_WINE_LOCK_FD}>&- </dev/null >/dev/null 2>&1
  wine64_run rundll32.exe {TOOL_WINE_LOCK_FD}>&- </dev/null >/dev/null 2>&1 && return 0
  echo "wine-env: Wine does not start in $WINEPREFIX" >&2
  return 1
}

# wine_start [--host-display]: the option keeps a $DISPLAY the caller has (scripts/demo).
wine_start() {
  wine_lock
  if [ "${1:-}" != --host-display ] || [ -z "${DISPLAY:-}" ]; then
    wine_xvfb_start || return 1
  fi
  wine_prefix_ensure || return 1
  _wine_server_start || return 1
  export TOOL_WINE_READY=$WINEPREFIX
}

# wine_lanes_start N: lanes 1..N in $TOOL_WINE/lanes, each a fresh copy of our prefix (so that
# nothing one run's tests leave behind reaches the next) with its own Xvfb and server, started
# side by side. A test finds its lane through TOOL_WINE_LANES (see the top of this file). Needs
# wine_start first: the lanes live under its lock.
wine_lanes_start() {
  local n=$1 lanes=$TOOL_WINE/lanes from=$WINEPREFIX k pids=() failed=0 t0=$SECONDS
  [ -n "${TOOL_WINE_READY:-}" ] || { echo "wine-env: wine_lanes_start needs wine_start" >&2; return 1; }
  mkdir -p "$lanes"
  for k in $(seq "$n"); do
    (
      unset TOOL_XVFB_PID
      wine_env_at "$lanes/$k"
      rm -f "$TOOL_WINE/xvfb.display"
      wine_prefix_seed --fresh "$from" || { echo "wine-env: lane $k: no copy of $from" >&2; exit 1; }
      wine_prefix_ensure && wine_xvfb_start && _wine_server_start
    ) >"$lanes/$k.log" 2>&1 &
    pids+=($!)
  done
  for k in "${!pids[@]}"; do
    wait "${pids[$k]}" || failed=1
    cat "$lanes/$((k + 1)).log" >&2  # quiet unless something went wrong
  done
  TOOL_WINE_LANE_COUNT=$n
  [ "$failed" = 0 ] || { echo "wine-env: the lanes did not start" >&2; return 1; }
  export TOOL_WINE_LANES=$lanes
  echo "wine-env: $n lanes ready in $((SECONDS - t0)) s" >&2
}

wine_lanes_stop() {
  local k pid pids=()
  [ -n "${TOOL_WINE_LANE_COUNT:-}" ] || return 0
  for k in $(seq "$TOOL_WINE_LANE_COUNT"); do
    (
      wine_env_at "$TOOL_WINE/lanes/$k"
      _wine_server_kill
      pid=$(cat "$TOOL_WINE/xvfb.pid" 2>/dev/null) && kill "$pid" 2>/dev/null
      rm -f "$TOOL_WINE/xvfb.pid" "$TOOL_WINE/xvfb.display"
    ) &
    pids+=($!)
  done
  # Only these: our own Xvfb is a child too, and runs on.
  wait "${pids[@]}" || true
  unset TOOL_WINE_LANES TOOL_WINE_LANE_COUNT
}

# Safe to trap on EXIT early: does nothing unless this process got the lock.
wine_stop() {
  [ -n "${TOOL_WINE_OWNER:-}" ] || return 0
  wine_lanes_stop
  _wine_server_kill
  wine_xvfb_stop
  unset TOOL_WINE_READY
}
