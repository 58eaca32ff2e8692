#!/usr/bin/env bash
# The check kit. Its disc image as others read it, with xorriso (no code of ours): Windows' view
# of it, the Joliet names, holds exactly \Nor-vikライブラリー3\Setup.exe, and that file is the
# kit's Setup.exe; the label is the kit's; and making it again from the same Setup.exe, later,
# gives the same bytes. Then scripts/kit: build/kit/ and build/kit.zip hold what a vendor
# copies, the image the same bytes.
#
# usage: kit.sh RELEASE-BUILD WORK
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
release=$1 work=$2
image=$release/kit/test-disc.iso setup=$release/harness/fakesetup/KitSetup.exe
fail() { echo "kit.sh: FAILED: $*"; exit 1; }
if [ ! -f "$image" ] || [ ! -f "$setup" ]; then fail "no $image or $setup (the release preset makes them)"; fi

files=$(xorriso -read_fs norock -indev "$image" -find / -type f 2>/dev/null)
[ "$files" = "'/Nor-vikライブラリー3/Setup.exe'" ] || fail "the image's Joliet files are: $files"
label=$(xorriso -indev "$image" -pvd_info 2>/dev/null | sed -n 's/^Volume Id *: //p')
[ "$label" = NORVIK_CHECK ] || fail "the volume label is $label"

rm -rf "$work"
mkdir -p "$work"
bash "$root/kit/make-disc.sh" "$setup" "$work"
cmp -s "$work/extracted/Nor-vikライブラリー3/Setup.exe" "$setup" || fail "the image's Setup.exe is not the kit's"
cmp -s "$image" "$work/test-disc.iso" || fail "a second image from the same Setup.exe differs"
echo "kit.sh: $(stat -c %s "$image") bytes, label $label, $files; made again: the same bytes"

"$root/scripts/kit" >"$work/kit.log" 2>&1 || fail "scripts/kit failed: $(tail -n 5 "$work/kit.log")"
kit=$root/build/kit
for name in test-disc.iso check.exe README.txt Norvik_InstallTool64.exe; do
  [ -s "$kit/$name" ] || fail "build/kit/ has no $name"
done
cmp -s "$kit/test-disc.iso" "$image" || fail "build/kit/test-disc.iso is not the image the build made"
listed=$(/usr/bin/python3 -c 'import sys, zipfile; print(" ".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' "$kit.zip")
[ "$listed" = "norvik-check-kit/Norvik_InstallTool64.exe norvik-check-kit/README.txt norvik-check-kit/check.exe norvik-check-kit/test-disc.iso" ] ||
  fail "build/kit.zip holds: $listed"
echo "kit.sh: scripts/kit: $(tail -n 1 "$work/kit.log")"
