#!/usr/bin/env bash
# Every shell script of the project passes shellcheck (settings in .shellcheckrc): the entry
# points, their library, CI's command and the test scripts.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

files=(.ci/run scripts/lib/*.sh)
for f in scripts/*; do
  [ -f "$f" ] && files+=("$f")
done
mapfile -t -O ${#files[@]} files < <(find tests -name '*.sh' | sort)
# The list must hold the scripts named here, or a pass would mean nothing was looked at.
# Looked up without a pipe: grep -q leaves early, and pipefail then sees the listing's
# broken pipe, now and then, under load.
listed=" ${files[*]} "
for must in scripts/test scripts/demo scripts/lib/tools.sh scripts/lib/wine-env.sh tests/pipeline/shellcheck.sh; do
  [[ $listed == *" $must "* ]] || { echo "shellcheck.sh: $must was not found"; exit 1; }
done
shellcheck -x "${files[@]}"
echo "shellcheck: ${#files[@]} scripts clean"
