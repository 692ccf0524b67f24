#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Tavrel.
# Packages already present are skipped; the package lists are refreshed once.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev
  libsqlite3-dev libjpeg-dev
  libgtest-dev googletest
  fonts-wqy-microhei
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
fi
