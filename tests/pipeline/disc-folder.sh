#!/usr/bin/env bash
# Creates (setup) or removes (cleanup) the pipeline's folder on the D: drive, from the Linux side.
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/wine-env.sh"
dir=$TOOL_CDROM_D/pipeline-check
case "${1:-}" in
  setup)
    rm -rf "$dir"
    mkdir -p "$dir/Nor-vikライブラリー3"
    printf 'written from Linux\n' >"$dir/Nor-vikライブラリー3/marker.txt"
    ;;
  cleanup) rm -rf "$dir" ;;
  *) echo "usage: disc-folder.sh setup|cleanup" >&2; exit 2 ;;
esac
