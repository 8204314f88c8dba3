#!/bin/sh
# Installs what Pixmar needs on Debian 12 (only the packages that are missing) and builds it
# into ./build. Run as root, or with sudo available.
set -eu
cd "$(dirname "$0")/.."
# clang and libclang-rt-14-dev (libFuzzer) are for scripts/fuzz.sh only.
PACKAGES="build-essential cmake pkg-config qt6-base-dev qt6-tools-dev qt6-l10n-tools libgl-dev libfreeimage-dev libgif-dev
libimagequant-dev libexiv2-dev libheif-dev libheif-examples libturbojpeg0-dev libjpeg-dev libgtest-dev qt6-image-formats-plugins fonts-liberation2 fonts-dejavu-core
xvfb xauth clang libclang-rt-14-dev"
./scripts/install-missing.sh $PACKAGES
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
