#!/usr/bin/env bash
# The Windows programs under Wine against the Linux simulator, linked as a Wine COM port.
# Usage, in a Wine session: tests/windows/e2e.sh LINUX_BUILD WINDOWS_BUILD
set -euo pipefail
source "$(dirname "$0")/../checks.sh"
: "${WINEPREFIX:?run it in a Wine session (scripts/wine-session.sh), as scripts/test.sh does}"
linux=$(realpath "$1") windows=$(realpath "$2") root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT

# An 8-bit end sentinel: both programs send its byte, whatever the code page.
printf 'ZYN MSR Configuration File\n5d%%;+\247\n' >"$work/config.txt"
sim() { # DIR NAME: a simulator serving NAME in DIR, its transcript in $work/NAME.log
  rm -f "$work/$2.log"
  "$linux/msr-sim" --port-dir "$1" --port "$2" --transcript "$work/$2.log" & pids+=($!)
  until [ -s "$work/$2.log" ]; do sleep 0.05; done
}
records() { kill "$1" && wait "$1" 2>/dev/null; sed -n 's/^<- //p' "$work/$2.log"; }

sim "$work" COM3
MSRCONFIG_PORT_DIR=$work "$linux/msrconfig" "$work/config.txt,COM3,19200" >/dev/null 2>&1
expected=$(records "${pids[-1]}" COM3)

sim "$WINEPREFIX/dosdevices" com3 # Wine's name for COM3
status=0
wine "$windows/msrconfig.exe" "$(dos "$work/config.txt"),COM3,19200" >"$work/out" 2>"$work/err" || status=$?
check "batch run: status" 0 "$status"
# Text-mode streams end Windows lines with a carriage return and a line feed.
check "batch run: log lines" "Entering command mode..." "$(cat "$work/out" "$work/err" | tr -d '\r')"
check "batch run: the Linux program's records" "$expected" "$(records "${pids[-1]}" com3)"

# The console twin, as cmd picks it for "msrconfig": it waits, so the log lines come before the
# status. Paths as scripts give them: non-ASCII, or in quotation marks.
cp "$work/config.txt" "$work/中文.txt"
cp "$work/config.txt" "$work/my settings.txt"
twin() { # NAME BATCH-TEXT
  sim "$WINEPREFIX/dosdevices" com3
  # In a script of its own: Wine would escape the quotation marks of an argument.
  printf '@echo off\r\ncd /d %s\r\nmsrconfig %s\r\necho status %%ERRORLEVEL%%\r\n' \
    "$(dos "$windows")" "$2" >"$work/twin.cmd"
  check "console twin, $1: the log lines, then the status" $'Entering command mode...\nstatus 0' \
    "$(timeout 60 wine cmd /c "$(dos "$work/twin.cmd")" 2>&1 | tr -d '\r')"
  check "console twin, $1: on the wire" "$expected" "$(records "${pids[-1]}" com3)"
}
twin "a path" "$(dos "$work/config.txt"),COM3,19200"
twin "a path in quotation marks" "\"$(dos "$work/my settings.txt")\",COM3"
twin "the whole text in quotation marks" "\"$(dos "$work/my settings.txt"),COM3,19200\""
sim "$WINEPREFIX/dosdevices" com3
status=0
timeout 60 wine "$windows/msrconfig.com" "$(dos "$work/中文.txt")" >/dev/null 2>&1 || status=$?
check "a non-ASCII path: status" 0 "$status"
check "a non-ASCII path: on the wire" "$expected" "$(records "${pids[-1]}" com3)"

# COM4 does not exist: ten attempts, then the box, which waits for the user.
status=0
wine "$windows/msrconfig.exe" "$(dos "$work/config.txt"),COM4,19200" >"$work/out" 2>"$work/err" &
program=$!
box=$(xdotool search --sync --onlyvisible --name '^Error!$' | head -n 1)
xdotool windowfocus --sync "$box" key Return
wait "$program" || status=$?
check "missing port: status" 3 "$status"
check "missing port: log lines" "$(for i in {1..10}; do
  printf 'Error opening com port : 4\nError restoring functional mode.\n'; done
  echo 'No MSR claimed on COM4 (no-device): COM4: File not found.')" "$(tr -d '\r' <"$work/err")"

# In a window station nobody sees, no box waits and the reader is still released.
printf 'ZYN MSR Configuration File\n1c%%;+?\n' >"$work/default.txt" # custom configuration off
hidden() { # FILE PORT: the status of a batch run in a hidden window station
  local status=0
  wine "$windows/win_probe.exe" hidden 60 "$windows/msrconfig.exe" "$(dos "$work/$1"),$2" \
    >/dev/null 2>&1 || status=$?
  echo "$status"
}
sim "$WINEPREFIX/dosdevices" com3
check "hidden station: file not loaded" 2 "$(hidden missing.txt COM3)"
check "hidden station: no reader" 3 "$(hidden config.txt COM4)"
check "hidden station: question answered No" 0 "$(hidden default.txt COM3)"
check "hidden station: the reader released" :0100001111DD "$(records "${pids[-1]}" com3 | tail -n 1)"

# The fleet guide's detection and remediation scripts, under Wine's cmd.
printf 'ZYN MSR Configuration File\n1d%%;+!\n' >"$work/other.txt"
fleet() { # SCRIPT: what it prints, and its status
  local status=0 out
  out=$(MSR_FILE=$(dos "$work/other.txt") MSR_PORT=COM3 MSRCONFIG=$(dos "$windows/msrconfig.com") \
    wine cmd /c "$(dos "$root/docs/fleet/windows/$1")" 2>/dev/null) || status=$?
  [ "$1" = detect.cmd ] && echo "$(tr -d '\r' <<<"$out")|$status" || echo "$status"
}
sim "$WINEPREFIX/dosdevices" com3
check "fleet: detected as differing" "|0" "$(fleet detect.cmd)"
check "fleet: remediated" 0 "$(fleet remediate.cmd)"
check "fleet: detected as holding it" "COM3 holds the prepared configuration|0" "$(fleet detect.cmd)"
check "fleet: remediated again" 0 "$(fleet remediate.cmd)"
check "fleet: written once" 1 "$(records "${pids[-1]}" com3 | grep -c '^:06')"

summary
