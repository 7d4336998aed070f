#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when some are missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ make pkg-config ccache
  qt6-base-dev qt6-l10n-tools qt6-webengine-dev qt6-qpa-plugins libqt6svg6 libgl-dev qt6-translations-l10n
  libgtest-dev libgmock-dev libtcmalloc-minimal4 libzip-dev
  gpsbabel
  xvfb xauth poppler-utils dpkg-dev desktop-file-utils appstream libxml2-utils
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# npm fetches Leaflet at configure time; any npm will do (Debian's, or one that came with Node.js).
command -v npm >/dev/null 2>&1 || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
