#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Tavrel.
# Packages already present are skipped; the package lists are refreshed once.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  dpkg-dev
  qt6-base-dev
  libsqlite3-dev libjpeg-dev libpq-dev
  libgtest-dev googletest
  fonts-wqy-microhei
  qt6-translations-l10n
  pxlib-dev
  xvfb xauth x11-utils dbus at-spi2-core
  clang libclang-rt-dev
  # The table store on a PostgreSQL server: its client library, and the
  # server itself, which the tests start privately (scripts/lib/private_pg.sh).
  postgresql libpq-dev
  # Certificates for the server reached over TLS in the tests.
  openssl
)

# LibreOffice Calc (the spreadsheet the program drives), its Chinese language
# pack and its SDK (UNO headers, cppumaker, link libraries), without the
# optional extras.
office_packages=(
  libreoffice-calc libreoffice-l10n-zh-cn libreoffice-dev
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing_in() {
  local p status
  for p in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || echo "$p"
  done
}

mapfile -t missing < <(missing_in "${packages[@]}")
mapfile -t missing_office < <(missing_in "${office_packages[@]}")

if [ "${#missing[@]}" -gt 0 ] || [ "${#missing_office[@]}" -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get update -q
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
fi
if [ "${#missing_office[@]}" -gt 0 ]; then
  echo "Installing: ${missing_office[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing_office[@]}"
fi
