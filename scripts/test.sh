#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DMSRCONFIG_WERROR=ON
cmake --build build
cd build
ctest -j8 --output-on-failure
