#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build with the windows,
# then the mail library under AddressSanitizer and UndefinedBehaviorSanitizer (clang), and
# its fuzz targets for a short run each.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure --timeout 600 -j "$(nproc)"

CC=clang CXX=clang++ bash scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug \
  -DQUIETPANE_SANITIZE=ON -DQUIETPANE_WINDOWS=OFF -DQUIETPANE_BENCH=OFF -DQUIETPANE_FUZZ=ON
ctest --test-dir build-sanitize --output-on-failure --timeout 900 -j "$(nproc)"

bash scripts/fuzz.sh build-sanitize "${QUIETPANE_FUZZ_SECONDS:-30}"
