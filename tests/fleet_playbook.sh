#!/usr/bin/env bash
# The fleet guide's playbook run against this machine with three simulated readers: the first
# run writes the two that differ, the second writes nothing, a missing reader fails its host
# with the cause. Usage: tests/fleet_playbook.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null; rm -rf "$work"' EXIT
export MSRCONFIG_PORT_DIR=$work/ports ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
printf 'ZYN MSR Configuration File\n5d%%;+?\n' >"$work/prepared.txt"
for port in COM21:41253B2B3F COM22:01253B2B21 COM23:41253B2B21; do # the first holds it
  "$build/msr-sim" --port-dir "$work/ports" --port "${port%:*}" --config "${port#*:}" \
    --transcript "$work/${port%:*}.log" & pids+=($!)
  until [ -s "$work/${port%:*}.log" ]; do sleep 0.05; done
done
play() { # PORTS...: the playbook's recap line, and its output in $work/out
  local ports
  ports=$(printf '"%s",' "$@")
  ansible-playbook -i localhost, -c local -e ansible_python_interpreter=/usr/bin/python3 \
    -e "msr_file=$work/prepared.txt" -e "msrconfig=$build/msrconfig" -e "msr_work=$work/host" \
    -e "{\"msr_ports\": [${ports%,}]}" "$root/docs/fleet/provision.yml" >"$work/out" 2>&1 || true
  grep -o 'ok=[0-9]* *changed=[0-9]* *unreachable=[0-9]* *failed=[0-9]*' "$work/out" | tr -s ' '
}
sets() { grep -c '^<- :06' "$work/$1.log" || true; }
source "$root/tests/checks.sh"
check "first run changes the two that differ (and copies the file)" "ok=5 changed=2 unreachable=0 failed=0" \
  "$(play COM21 COM22 COM23)"
check "the changed reader reported" 1 "$(grep -c 'COM22: firmware SIM 1.00, changed' "$work/out")"
check "written once each" "0 1 1" "$(sets COM21) $(sets COM22) $(sets COM23)"
check "second run changes nothing" "ok=5 changed=0 unreachable=0 failed=0" \
  "$(play COM21 COM22 COM23)"
check "and writes nothing" "0 1 1" "$(sets COM21) $(sets COM22) $(sets COM23)"
check "a missing reader fails its host" "ok=4 changed=0 unreachable=0 failed=1" "$(play COM21 COM24)"
check "with its cause" 1 "$(grep -c 'COM24: not-claimed (no-device): ' "$work/out")"
[ "$failed" -eq 0 ] || cat "$work/out" # the last run, to see why
summary
