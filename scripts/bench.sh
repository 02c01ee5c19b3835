#!/usr/bin/env bash
# Times the reader operations against the simulated reader (see bench/msr_bench.cpp).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >/dev/null
bash scripts/configure-build.sh -DMSRCONFIG_TESTS=ON >/dev/null
cmake --build build --target msrconfig msr-bench >/dev/null
build/msr-bench "${1:-5}" build/msrconfig
