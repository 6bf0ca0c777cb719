#!/usr/bin/env bash
# Builds the Debian package of Quietpane from the build folder and prints its path.
# Usage: scripts/package.sh [OUTPUT_FOLDER]   (default: build/package)
# Install it with: sudo apt install ./build/package/quietpane_*_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
output=${1:-build/package}

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target Quietpane QuietpanePackageFiles
mkdir -p "$output"
cpack -G DEB --config build/CPackConfig.cmake -B "$output" >/dev/null
rm -rf "$output/_CPack_Packages"
ls "$(cd "$output" && pwd)"/quietpane_*.deb
