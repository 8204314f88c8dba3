#!/bin/sh
# Builds the Debian package build/pixmar_<version>_amd64.deb: sets up and builds as
# scripts/setup.sh does, then packs the installation under /usr with CPack. The package's
# runtime dependencies are read from the binary (dpkg-shlibdeps, which needs `file`).
set -eu
cd "$(dirname "$0")/.."
missing=""
for p in dpkg-dev file; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
./scripts/setup.sh
rm -f build/pixmar_*.deb
(cd build && cpack -G DEB)
ls build/pixmar_*_amd64.deb
