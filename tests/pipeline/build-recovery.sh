#!/usr/bin/env bash
# A configure that failed leaves a cache and no build file. Both entry points, scripts/test and
# scripts/demo, must configure again and build, not stop at "No rule to make target 'Makefile'".
#
# Played in a scratch tree: copies of the two scripts and scripts/lib around a small project with
# the presets release and test. Its Wine library is a stand-in that ends the script where Wine
# would start, so each run shows how far the script got ("reached Wine") in seconds.
#
# usage: build-recovery.sh WORK_FOLDER
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1
fail() { echo "build-recovery: FAILED: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work/scripts/lib"
cp "$root/scripts/test" "$root/scripts/demo" "$work/scripts/"
cp "$root/scripts/lib/tools.sh" "$root/scripts/lib/lock.sh" "$work/scripts/lib/"
cat >"$work/scripts/lib/wine-env.sh" <<'EOF'
# Stand-in: the build step is what is tried here.
TOOL_BUILD=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build
wine_lock() { :; }
wine_stop() { :; }
wine_start() { echo "reached Wine"; exit 0; }
wine_prefix_seed() { wine_start; }
EOF
cat >"$work/CMakePresets.json" <<'EOF'
{
  "version": 3,
  "configurePresets": [
    { "name": "release", "binaryDir": "${sourceDir}/build/release" },
    { "name": "test", "binaryDir": "${sourceDir}/build/test" }
  ],
  "buildPresets": [
    { "name": "release", "configurePreset": "release" },
    { "name": "test", "configurePreset": "test" }
  ]
}
EOF
cat >"$work/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.25)
project(Recovery NONE)
if(DEFINED ENV{RECOVERY_FAIL_CONFIGURE})
  message(FATAL_ERROR "this configure fails on purpose")
endif()
enable_testing()
foreach(target Norvik_InstallTool64 FakeSetup DemoDriver)
  add_custom_target(${target} ALL COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/${target}.built)
endforeach()
EOF

# What a failed first configure leaves in both folders.
failed_configure() {
  rm -rf "$work/build"
  for preset in release test; do
    ! (cd "$work" && RECOVERY_FAIL_CONFIGURE=1 cmake --preset "$preset") >/dev/null 2>&1 \
      || fail "the configure of $preset did not fail"
    if [ ! -f "$work/build/$preset/CMakeCache.txt" ] || [ -f "$work/build/$preset/Makefile" ]; then
      fail "a failed configure of $preset did not leave a cache without a Makefile"
    fi
  done
}

# The scripts may run scripts/setup only where tools are missing; the scratch tree has none.
export TOOL_SETUP_RAN=1
for script in test demo; do
  failed_configure
  args=()
  [ "$script" = test ] || args=(--headless)
  out=$("$work/scripts/$script" "${args[@]}" 2>&1) || { echo "$out"; fail "scripts/$script failed"; }
  grep -qx 'reached Wine' <<<"$out" || { echo "$out"; fail "scripts/$script did not get past its build"; }
  for preset in release test; do
    [ -f "$work/build/$preset/Norvik_InstallTool64.built" ] \
      || { echo "$out"; fail "scripts/$script did not build the preset $preset"; }
  done
  echo "scripts/$script: configured again after the failed configure and built both presets"
done
rm -rf "$work"
