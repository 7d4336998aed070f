#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when some are missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ make pkg-config ccache
  qt6-base-dev qt6-l10n-tools qt6-webengine-dev qt6-qpa-plugins libqt6svg6 libgl-dev qt6-translations-l10n
  libgtest-dev libgmock-dev libtcmalloc-minimal4 libzip-dev
  gpsbabel
  xvfb xauth poppler-utils dpkg-dev desktop-file-utils appstream libxml2-utils
  locales
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# npm fetches Leaflet at configure time; any npm will do (Debian's, or one that came with Node.js).
command -v npm >/dev/null 2>&1 || missing+=(npm)
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
# The French locale: the French tests and the window's benchmarks run in it.
if ! locale -a 2>/dev/null | grep -qix 'fr_FR\.utf-\?8'; then
  echo "Generating the fr_FR.UTF-8 locale"
  "${sudo_cmd[@]}" localedef -i fr_FR -f UTF-8 fr_FR.UTF-8
fi
