#!/usr/bin/env bash
# Brings the English translation files up to date with the texts in the code:
#   scripts/update-translations.sh [PART...]    (default: every part)
# Each part's texts live in their own file, translations/dlvrview_<part>_en.ts,
# so that the parts can be translated side by side. New texts come in
# unfinished (lrelease then counts them); texts gone from the code are dropped.
# With TS_DIR set, the files in that folder are updated instead (the tests
# update copies to see whether the code holds texts the files lack).
set -euo pipefail
cd "$(dirname "$0")/.."
LUPDATE=${LUPDATE:-/usr/lib/qt6/bin/lupdate}
TS_DIR=${TS_DIR:-translations}

declare -A SOURCES=(
  [check]="src/check src/model src/compare"
  [delivery]="src/delivery src/photo src/sxf src/platform"
  [app]="src/app src/components src/i18n"
  [panes]="src/panes"
  [cli]="src/cli"
)
parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(check delivery app panes cli)
for part in "${parts[@]}"; do
  [ -n "${SOURCES[$part]:-}" ] || { echo "unknown part: $part (check delivery app panes cli)" >&2; exit 2; }
  # shellcheck disable=SC2086
  "$LUPDATE" -silent -locations none -no-obsolete -extensions cpp,h \
    -tr-function-alias "translate+=Tr,QT_TRANSLATE_NOOP+=DLVR_TR_NOOP" \
    -I src -source-language ja -target-language en \
    ${SOURCES[$part]} -ts "$TS_DIR/dlvrview_${part}_en.ts"
done
