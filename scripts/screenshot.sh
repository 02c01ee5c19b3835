#!/usr/bin/env bash
# Runs the real window on a virtual display and saves a screenshot of it (default docs/window.png).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/window.png}
build=${BUILD_DIR:-build}
display=:${SCREENSHOT_DISPLAY:-97}

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
ports=$(mktemp -d)
trap 'kill $app $xvfb 2>/dev/null || true; rm -rf "$ports"' EXIT
sleep 1
export DISPLAY=$display XDG_RUNTIME_DIR=$ports MSRCONFIG_PORT_DIR=$ports
"$build/msrconfig" &
app=$!
for _ in $(seq 50); do
  xdotool search --name "ZYN KVR MSR Configuration Utility" >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 0.5
window=$(xdotool search --name "ZYN KVR MSR Configuration Utility" | head -n 1)
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "saved $out"
