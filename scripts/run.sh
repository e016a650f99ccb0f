#!/usr/bin/env bash
# Installs what is missing, builds, and opens the bundled sample delivery.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
exec build/src/cli/dlvr dump "${1:-samples/clean}"
