#!/bin/sh
# Builds the Debian package build/pixmar_<version>_amd64.deb: sets up and builds as
# scripts/setup.sh does, then packs the installation under /usr with CPack. The package's
# runtime dependencies are read from the binary (dpkg-shlibdeps, which needs `file`).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-missing.sh dpkg-dev file
./scripts/setup.sh
rm -f build/pixmar_*.deb
(cd build && cpack -G DEB)
ls build/pixmar_*_amd64.deb
