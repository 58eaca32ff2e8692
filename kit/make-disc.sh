#!/usr/bin/env bash
# The check kit's disc: the add-on's folder with the kit's Setup.exe in it, as an ISO 9660
# image with Joliet names (what Windows reads), labelled NORVIK_CHECK; the same Setup.exe
# gives the same bytes. Then the tree read back out of the image by osirrox, as Windows shows
# a drive that holds the disc, in OUT/extracted (for the tests).
#
# usage: make-disc.sh SETUP.EXE OUT     writes OUT/test-disc.iso, OUT/extracted/
set -euo pipefail
setup=$1 out=$2
command -v xorriso >/dev/null || { echo "make-disc.sh: xorriso is missing (scripts/setup installs it)" >&2; exit 1; }
epoch=1700000000  # every date in the image
folder='Nor-vikライブラリー3'
tree=$out/disc-tree
# What osirrox extracted is read-only, as on the disc.
[ ! -d "$out/extracted" ] || chmod -R u+w "$out/extracted"
rm -rf "$tree" "$out/extracted" "$out/extracted.stamp" "$out/test-disc.iso.tmp"
mkdir -p "$tree/$folder"
cp "$setup" "$tree/$folder/Setup.exe"
# The files' own dates and owners go into the image: the same for every making (-r: owner 0,
# plain permissions).
touch -d "@$epoch" "$tree/$folder/Setup.exe" "$tree/$folder" "$tree"
SOURCE_DATE_EPOCH=$epoch xorriso -as mkisofs -quiet -r -J -joliet-long -V NORVIK_CHECK -o "$out/test-disc.iso.tmp" "$tree" \
  >"$out/xorriso.log" 2>&1 || { cat "$out/xorriso.log" >&2; exit 1; }
mv "$out/test-disc.iso.tmp" "$out/test-disc.iso"
# xorriso writes Rock Ridge names too and reads them first; Windows reads the Joliet names.
osirrox -read_fs norock -indev "$out/test-disc.iso" -extract / "$out/extracted" >>"$out/xorriso.log" 2>&1 || {
  cat "$out/xorriso.log" >&2
  exit 1
}
touch "$out/extracted.stamp"
