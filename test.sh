#!/usr/bin/env bash
# Builds every target into build-test/ and runs every test with ctest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEYLOUPE_WERROR=ON >/dev/null
cmake --build build-test -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd build-test
ctest --output-on-failure -j "$(nproc)" --timeout 600
