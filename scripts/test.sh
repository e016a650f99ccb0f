#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test: the
# normal build, then the core and its tests under AddressSanitizer and
# UndefinedBehaviorSanitizer. Each step's time goes to the end of the output.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)

steps=()
step() {
  local name="$1" start=$SECONDS; shift
  "$@"
  steps+=("$(printf '%-12s %4d s' "$name" $((SECONDS - start)))")
}

step build scripts/build.sh build
step tests ctest --test-dir build --output-on-failure -j "$jobs"

step build-asan scripts/build.sh build-asan -DDLVR_SANITIZE=ON -DDLVR_CORE_ONLY=ON -DDLVR_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
step tests-asan ctest --test-dir build-asan --output-on-failure -j "$jobs"

printf '%s\n' "${steps[@]}"
