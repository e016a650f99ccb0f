#!/usr/bin/env bash
# Configures (once) and builds one build tree. Usage: build.sh DIR [cmake options]
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$1"; shift
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
fi
cmake --build "$dir"
