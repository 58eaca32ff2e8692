#!/usr/bin/env bash
# DLL planting: the test twin is copied into a "Downloads" folder full of planted DLLs and
# run through a whole successful run, with Wine told to prefer a DLL it finds on disk over
# its own (n,b) for the planted names. Passes when no planted DLL ran (no marker file) and
# Wine's load trace names no DLL from that folder. A control program without the defence,
# in the same folder under the same settings, must load a planted DLL first: else this
# setup could not see a planting at all.
#
# What it shows: the DLLs the program and the system DLLs load on its behalf at run time
# (uxtheme, comctl32 here) come from the system folder, not from the program's folder.
# What it cannot show:
#  - Static imports, and everything they load while the process starts, are resolved before
#    our first line runs. Windows takes them from its system folder because they are
#    KnownDLLs (the release checks keep the import table to those); Wine has no KnownDLLs,
#    and its own DLLs pull in version.dll and imm32.dll at start from the program's folder
#    first. So version.dll, the classic planted name, is left out here.
#  - Wine's own DLLs resolve their delay imports (imm32 -> ole32, uxtheme -> msimg32) along
#    the process's first search path, ignoring SetDefaultDllDirectories; ole32 and msimg32
#    are left out for that reason.
#  - Elevation plays no part under Wine, and the release (i686) is not the program run here.
#
# usage: run-plant.sh TOOL.exe PLANTED.dll CONTROL.exe DRIVER.exe WORK_FOLDER
set -euo pipefail
tool=$1 planted=$2 control=$3 driver=$4 work=$5
source "$(dirname "$0")/../../scripts/lib/wine-env.sh"
if [ "${TOOL_WINE_READY:-}" != "$WINEPREFIX" ] || [ -z "${DISPLAY:-}" ]; then
  trap wine_stop EXIT
  wine_start
fi
fail() { echo "dllplant: FAILED: $*"; exit 1; }

names=(uxtheme comctl32 cryptsp riched20 dwmapi)
folder=$work/Downloads
rm -rf "$work"
mkdir -p "$folder"
cp "$tool" "$control" "$folder/"
for name in "${names[@]}"; do cp "$planted" "$folder/$name.dll"; done
overrides="$WINEDLLOVERRIDES;$(IFS=,; echo "${names[*]}")=n,b"

# Trace lines of DLLs (not programs) loaded from the planted folder. The trace doubles
# backslashes; they become slashes, so the folder matches as Wine's Z: drive shows it.
loaded_from_folder() {
  grep -a 'trace:loaddll:' "$1" | sed 's/\\\\/\//g' | grep -aiF "\"Z:$folder/" | grep -aiv '\.exe" at' || true
}

# The control first: without it, a pass below could mean that nothing can be planted here.
WINEDLLOVERRIDES=$overrides WINEDEBUG=+loaddll "$WINE64" "$folder/$(basename "$control")" uxtheme.dll \
  >"$work/control.out" 2>"$work/control.trace" || true
if [ ! -f "$folder/uxtheme.dll.loaded" ] || [ -z "$(loaded_from_folder "$work/control.trace")" ]; then
  cat "$work/control.out"
  fail "the control program did not load the planted uxtheme.dll, so this setup cannot show a planting"
fi
echo "control: $(tr -d '\r' <"$work/control.out")"
rm -f "$folder"/*.loaded

rc=0
TOOL_EXE_UNDER_TEST=$folder/$(basename "$tool") WINEDLLOVERRIDES=$overrides WINEDEBUG=+pid,+loaddll \
  "$WINE64" "$driver" >"$work/run.out" 2>"$work/run.trace" || rc=$?
tr -d '\r' <"$work/run.out"
# A planted DLL that runs usually breaks the program too: that cause is reported first.
markers=$(cd "$folder" && { ls -- *.loaded 2>/dev/null || true; })
loads=$(loaded_from_folder "$work/run.trace")
[ -z "$markers" ] || fail "planted DLL code ran: $markers"
[ -z "$loads" ] || fail "DLLs were loaded from the program's folder:"$'\n'"$loads"
[ "$rc" = 0 ] || fail "the whole run did not succeed (exit $rc); trace in $work/run.trace"

# The program's own lines, by the process id the driver printed.
pid=$(awk '/^tool pid / { print $3 }' "$work/run.out" | tr -d '\r')
[ -n "$pid" ] || fail "the driver printed no process id"
asked=()
for name in "${names[@]}"; do
  line=$(grep -a "^$pid:[0-9a-f]*:trace:loaddll:" "$work/run.trace" | grep -ai "\\\\$name\.dll\" at" | head -n1 || true)
  [ -z "$line" ] || asked+=("$name: ${line#*Loaded }")
done
[ ${#asked[@]} -gt 0 ] || fail "the program loaded none of the planted names; the test shows nothing (trace in $work/run.trace)"
printf 'program loaded %s\n' "${asked[@]}"
echo "dllplant: no planted DLL loaded from $folder"
