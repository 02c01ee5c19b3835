#!/usr/bin/env bash
# Runs the real window on a virtual display against the simulated reader, presses
# "Get Current MSR Config" and saves a screenshot (default docs/window.png).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/window.png}
build=${BUILD_DIR:-build}
display=:${SCREENSHOT_DISPLAY:-97}
caption="ZYN KVR MSR Configuration Utility"

work=$(mktemp -d)
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill ${app:-} ${sim:-} $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1
export DISPLAY=$display XDG_RUNTIME_DIR=$work MSRCONFIG_PORT_DIR=$work
"$build/msr-sim" --port-dir "$work" --port COM3 --quiet &
sim=$!
"$build/msrconfig" &
app=$!
for _ in $(seq 50); do
  window=$(xdotool search --name "$caption" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  sleep 0.1
done
sleep 0.5
if [ "${SCREENSHOT_GET:-1}" = 1 ]; then
  # Focus starts on the first check box; the Get button is the ninth control in tab order.
  xdotool key --window "$window" Tab Tab Tab Tab Tab Tab Tab Tab space
  sleep 2.5
fi
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "saved $out"
