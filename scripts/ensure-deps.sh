#!/usr/bin/env bash
# Makes sure the Debian 12 packages the build needs are installed: installs
# them when run as root, otherwise prints the exact command and fails.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev qt6-svg-dev libgl-dev  # libgl-dev: Qt's Gui package asks for OpenGL
  libqt6sql6-sqlite  # the write history's database driver (Qt SQL's QSQLITE plug-in)
  libqt6sql6-psql  # the plant's shared history on a PostgreSQL server (QPSQL plug-in)
  postgresql  # the tests and the benchmark start their own server (initdb, pg_ctl)
  libgtest-dev
  poppler-utils  # pdftotext checks the printed datasheet in the tests
  qt6-translations-l10n  # Qt's own dialogs (files, printing) in the user's language
  fonts-liberation  # Liberation Sans has Arial's metrics: the datasheet's layout
)
# --with adds packages, or a named group: "windows" for the cross-build
# of the programs and their tests under wine (scripts/test-windows.sh) and
# their installer and zip (scripts/package-windows.sh).
if [ "${1:-}" = "--with" ]; then
  shift
  for p in "$@"; do
    case "$p" in
      windows) packages+=(g++-mingw-w64-x86-64 wine64 googletest nsis zip unzip) ;;
      *) packages+=("$p") ;;
    esac
  done
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
