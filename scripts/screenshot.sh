#!/usr/bin/env bash
# Runs the real window on a virtual display against the simulated reader, presses
# "Get Current MSR Config" and saves a screenshot (default docs/window.png).
# WINDOWS_BUILD=build-windows takes the Windows program, under Wine, instead.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/window.png}
build=${BUILD_DIR:-build}
windows=${WINDOWS_BUILD:-}
display=:${SCREENSHOT_DISPLAY:-97}
caption="ZYN KVR MSR Configuration Utility"

work=$(mktemp -d)
if [ -n "$windows" ]; then
  source scripts/wine-session.sh
  wine_session_start "$PWD/$windows/wine"
  trap 'kill ${app:-} ${sim:-} 2>/dev/null || true; wine_session_end; rm -rf "$work"' EXIT
  "$build/msr-sim" --port-dir "$WINEPREFIX/dosdevices" --port com3 --quiet &
  sim=$!
  wine "$windows/msrconfig.exe" >/dev/null 2>&1 &
  app=$!
else
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill ${app:-} ${sim:-} $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
  sleep 1
  export DISPLAY=$display XDG_RUNTIME_DIR=$work MSRCONFIG_PORT_DIR=$work
  "$build/msr-sim" --port-dir "$work" --port COM3 --quiet &
  sim=$!
  "$build/msrconfig" &
  app=$!
fi
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name "^$caption\$" 2>/dev/null | head -n 1) &&
    [ -n "$window" ] && break
  sleep 0.1
done
xdotool windowfocus --sync "$window"
sleep 0.5
if [ "${SCREENSHOT_GET:-1}" = 1 ]; then
  # Focus starts on the first check box; the Get button is the ninth control in tab order.
  xdotool key --delay 50 Tab Tab Tab Tab Tab Tab Tab Tab space
  sleep 2.5
fi
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "saved $out"
