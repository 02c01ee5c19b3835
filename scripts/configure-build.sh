#!/usr/bin/env bash
# Configures build/ for the scripts. A folder that was built before keeps its generator
# (docs/contributing.md's plain `cmake -S . -B build` uses the platform's default); a new one
# gets Ninja.
# Usage: bash scripts/configure-build.sh [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
generator=()
[ -f build/CMakeCache.txt ] || generator=(-G Ninja)
cmake -S . -B build "${generator[@]}" "$@"
