#!/usr/bin/env bash
# Configures (once) and builds one build tree.
# Usage: build.sh DIR [--target TARGET] [cmake options]
# A tree configured here compiles each target's sources in a few combined
# units where they allow it (up to 16 files a unit: fewer compiler runs
# from scratch, each reading the Qt and test framework headers again); the
# options given come after and may turn it off (-DCMAKE_UNITY_BUILD=OFF). With
# --target only that target (and what it needs) is built.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$1"; shift
target=()
if [ "${1:-}" = "--target" ]; then target=(--target "$2"); shift 2; fi
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16 "$@" >/dev/null
fi
cmake --build "$dir" "${target[@]}"
