#!/usr/bin/env bash
# Installs what is missing, builds, and opens the bundled sample delivery in
# the viewer. Without a display it prints the delivery's tree instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
folder="${1:-samples/clean}"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/src/app/dlvrview "$folder"
fi
echo "No display: printing the tree of $folder instead (build/src/app/dlvrview opens the viewer)." >&2
exec build/src/cli/dlvr tree "$folder"
