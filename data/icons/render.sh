#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG (rsvg-convert, Debian
# package librsvg2-bin). The PNGs are kept in the tree: run this after
# changing the SVG and commit what it writes.
set -euo pipefail
cd "$(dirname "$0")/hicolor"
svg=scalable/apps/jp.dlvrview.DLVRView.svg
for n in 16 22 24 32 48 64 128 256; do
  mkdir -p "${n}x${n}/apps"
  rsvg-convert -w "$n" -h "$n" "$svg" -o "${n}x${n}/apps/jp.dlvrview.DLVRView.png"
done
