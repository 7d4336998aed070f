#!/usr/bin/env bash
# Builds the .deb and checks it: unpacked into a fresh folder, it holds the
# programs, desktop entry, AppStream data, icon, man pages and licences, it
# declares its dependencies, its desktop entry and AppStream data validate, and
# its orvalis-cli runs, and lintian finds no error and no warning.
set -euo pipefail
build=${1:-build-package}
cd "$(dirname "$0")/.."
if ! command -v lintian >/dev/null; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends lintian >/dev/null
fi
rm -f "$build"/orvalis_*.deb
make package PACKAGE_BUILD="$build" >/dev/null
deb=$(ls "$build"/orvalis_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
version=$(sed -n 's/^project(Orvalis VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
status=0
for f in usr/bin/orvalis usr/bin/orvalis-cli \
         usr/share/applications/org.orvalis.Orvalis.desktop \
         usr/share/metainfo/org.orvalis.Orvalis.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/orvalis.svg \
         usr/share/man/man1/orvalis.1.gz usr/share/man/man1/orvalis-cli.1.gz \
         usr/share/doc/orvalis/copyright usr/share/doc/orvalis/changelog.Debian.gz; do
  [ -e "$root/$f" ] || { echo "missing from the package: $f"; status=1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6webenginewidgets6 libqt6printsupport6 qt6-translations-l10n libqt6svg6; do
  grep -q "$d" <<<"$depends" || { echo "not a declared dependency: $d"; status=1; }
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] || { echo "package version is not $version-1"; status=1; }
file "$root/usr/bin/orvalis" "$root/usr/bin/orvalis-cli" | grep -q "not stripped" && { echo "binaries are not stripped"; status=1; }
lintian --fail-on error,warning --tag-display-limit 0 "$deb" || { echo "lintian: errors or warnings"; status=1; }
desktop-file-validate "$root/usr/share/applications/org.orvalis.Orvalis.desktop" || status=1
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.orvalis.Orvalis.metainfo.xml" >/dev/null ||
  { appstreamcli validate --no-net "$root/usr/share/metainfo/org.orvalis.Orvalis.metainfo.xml" || status=1; }
out=$("$root/usr/bin/orvalis-cli" --version)
[ "$out" = "orvalis-cli $version" ] || { echo "orvalis-cli --version printed: $out"; status=1; }
[ $status -eq 0 ] && echo "package $(basename "$deb"): files, dependencies and orvalis-cli checked"
exit $status
