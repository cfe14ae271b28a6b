#!/usr/bin/env bash
# Installs the Debian packages Quor needs to build, run and test.
# Run as root, or as a user who may use sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev qtbase5-dev-tools libqt5svg5-dev libgl-dev
  libqgis-dev qgis-providers
  libgdal-dev gdal-bin libgeos-dev libproj-dev
  libcurl4-openssl-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "Quor needs these Debian packages installed: ${missing[*]}" >&2
  echo "Run this script as root (or install sudo) so that it can install them." >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
