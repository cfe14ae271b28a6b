#!/usr/bin/env bash
# Installs the Debian packages Quor needs to build, run and test.
# Run as root, or as a user who may use sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev qtbase5-dev-tools libqt5svg5-dev libgl-dev
  libqgis-dev qgis-providers
  libgdal-dev gdal-bin libgeos-dev libproj-dev
  libcurl4-openssl-dev zlib1g-dev libsqlite3-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  slurm-wlm munge parallel
  # The window tests run again on an X display of their own, as on a desktop,
  # with Debian's GL driver installed as most desktops have it.
  xvfb openbox dbus-daemon libgl1-mesa-dri
  locales
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The tests check that numbers read and write the same under a
# decimal-comma locale; they skip where none is generated.
need_locale=0
locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' || need_locale=1
[ ${#missing[@]} -eq 0 ] && [ $need_locale -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
elif [ ${#missing[@]} -eq 0 ]; then
  echo "No decimal-comma locale (de_DE.UTF-8): those tests will skip." >&2
  exit 0
else
  echo "Quor needs these Debian packages installed: ${missing[*]}" >&2
  echo "Run this script as root (or install sudo) so that it can install them." >&2
  exit 1
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${SUDO[@]}" apt-get update -qq
  "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ $need_locale -eq 1 ]; then
  "${SUDO[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "Could not generate de_DE.UTF-8; the decimal-comma tests will skip." >&2
fi
