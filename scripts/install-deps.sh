#!/usr/bin/env bash
# Installs everything DLVRView needs to build, run and test, from Debian packages.
# Safe to run again: packages already present are left alone. Packages named
# as arguments are installed too, the same way (scripts/package.sh adds its own).
set -euo pipefail

PACKAGES=(
  # build tools
  cmake ninja-build g++ ccache pkg-config
  # the faster linker (the build uses it where it is there)
  lld
  # fuzz targets
  clang libclang-rt-14-dev
  # GUI, printing, PDF preview, image formats
  qt6-base-dev qt6-pdf-dev qt6-image-formats-plugins libgl-dev
  # Qt's own dialogs in Japanese
  qt6-translations-l10n
  # the program's English texts (lupdate, lrelease and their CMake rules)
  qt6-l10n-tools qt6-tools-dev
  # the headless tool's arguments and JSON
  libcli11-dev nlohmann-json3-dev
  # the desktop's window list (X11)
  libxcb1-dev
  # XML and XSLT, Shift-JIS text
  libxml2-dev libxslt1-dev libicu-dev
  # drawings written as PNG a band at a time
  libpng-dev
  # SHA-256 of file contents for comparing deliveries (OpenSSL's libcrypto)
  libssl-dev
  # full-text search: SQLite with FTS5 and its trigram tokenizer; PDFs' text
  # through poppler, with the maps of the CJK character collections
  libsqlite3-dev libpoppler-cpp-dev poppler-data
  # photo metadata (EXIF)
  libexiv2-dev
  # Japanese fonts (grid widths are measured in the grid font)
  fonts-ipafont-gothic fonts-ipafont-mincho
  # tests, benchmarks, screenshots
  googletest libgtest-dev libgmock-dev libbenchmark-dev libxml2-utils xvfb xauth poppler-utils
  # the install test (desktop entry, metainfo, MIME database)
  python3 desktop-file-utils appstream shared-mime-info libglib2.0-bin
  "$@"
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
# Downloads as root: on some build machines the unprivileged user apt
# switches to for downloading cannot resolve host names.
APT=(apt-get -o APT::Sandbox::User=root)
$SUDO "${APT[@]}" update -qq
$SUDO "${APT[@]}" install -y -qq --no-install-recommends "${missing[@]}"
