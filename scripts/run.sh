#!/usr/bin/env bash
# Builds msrconfig and opens its window talking to a simulated reader on COM3.
# Closing the window stops the simulator. Extra arguments go to msr-sim (see msr-sim --help).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are not set)." >&2
  echo "Run this on a desktop, or on a virtual display:  xvfb-run -a bash scripts/run.sh" >&2
  exit 1
fi

bash scripts/configure-build.sh -DMSRCONFIG_TESTS=OFF
cmake --build build --target msrconfig msr-sim

ports=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -rf "$ports"' EXIT
build/msr-sim --port-dir "$ports" --port COM3 "$@" &
sim=$!
# A simulator that refuses its options ends at once: say so instead of opening a window
# with no reader behind it.
while [ ! -e "$ports/COM3" ] && kill -0 "$sim" 2>/dev/null; do sleep 0.1; done
if [ ! -e "$ports/COM3" ]; then
  status=0
  wait "$sim" || status=$?
  echo "run.sh: msr-sim did not start (status $status)" >&2
  exit $((status ? status : 1))
fi

echo "Simulated reader on COM3; its conversation is printed below. Close the window to stop."
MSRCONFIG_PORT_DIR=$ports build/msrconfig
