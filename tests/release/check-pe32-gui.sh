#!/usr/bin/env bash
# Passes when FILE is what users run: a PE32 (not PE32+) i386 program of the Windows GUI
# subsystem. The x86_64 objdump reads both PE flavours, so a wrong file is rejected by the
# checks below, not by a tool that cannot read it. Its messages must be untranslated here.
set -euo pipefail
file=${1:?usage: check-pe32-gui.sh FILE}
[ -f "$file" ] || { echo "$file is missing: did the release build fail?"; exit 1; }
dump=$(LC_ALL=C x86_64-w64-mingw32-objdump -f -p "$file")
fail() { echo "$file is not a PE32 i386 GUI program: $*"; exit 1; }
field() { grep -E "$1" <<<"$dump" | head -n1; }

grep -q 'file format pei-i386$' <<<"$dump" || fail "$(field 'file format')"
grep -Eq '^architecture: i386,' <<<"$dump" || fail "$(field '^architecture')"
grep -Eq '^Magic[[:space:]]+010b' <<<"$dump" || fail "$(field '^Magic')"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$dump" || fail "$(field '^Subsystem')"
echo "$file: PE32, i386, Windows GUI"
