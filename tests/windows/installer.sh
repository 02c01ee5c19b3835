#!/usr/bin/env bash
# The Windows packages under Wine, as an administrator meets them: the packed programs'
# manifest, version resource and signature; the installer's own; the Add/Remove Programs
# entry and the Start-menu entry; an upgrade in place; install and uninstall refused while
# msrconfig runs; a quiet uninstall that returns once the files are gone.
# Usage, in a Wine session, with the packages built and signed with CERTIFICATE:
#   tests/windows/installer.sh WINDOWS_BUILD CERTIFICATE
set -euo pipefail
source "$(dirname "$0")/../checks.sh"
: "${WINEPREFIX:?run it in a Wine session (scripts/wine-session.sh), as scripts/test.sh does}"
windows=$(realpath "$1") cert=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
carried() { # version|manifest FILE: the version resource's texts, or the application manifest
  /usr/bin/python3 -c 'import pefile, sys
pe = pefile.PE(sys.argv[2])
if sys.argv[1] == "version":
    for name, value in next(i for i in pe.FileInfo[0] if i.Key == b"StringFileInfo").StringTable[0].entries.items():
        print(f"{name.decode()}={value.decode()}")
else:
    found = next(e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == 24).directory.entries[0].directory.entries[0]
    sys.stdout.write(pe.get_data(found.data.struct.OffsetToData, found.data.struct.Size).decode())' "$@"
}
signed() { osslsigncode verify -CAfile "$cert" -in "$1" >/dev/null 2>&1 && echo signed || echo unsigned; }
version=$(sed -n 's/^project(msrconfig VERSION \([0-9.]*\).*/\1/p' "$windows/../CMakeLists.txt")
installer=$(ls "$windows"/msrconfig-*-win64.exe)
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\msrconfig'
value() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v name="$1" '$1 == name { $1 = ""; print substr($0, 2) }'; }
installed="$WINEPREFIX/drive_c/Program Files/msrconfig"

unzip -q "$windows"/msrconfig-*-win64.zip -d "$work"
for program in msrconfig.exe msrconfig.com; do
  check "$program: the manifest" "$(cat "$windows/app/win32/msrconfig.manifest")" \
    "$(carried manifest "$work/$program")"
  check "$program: the version resource" "CompanyName=msrconfig developers
FileDescription=ZYN KVR MSR Configuration Utility$([ $program = msrconfig.com ] && echo ' (console)')
FileVersion=$version
InternalName=msrconfig
LegalCopyright=$(grep -m1 '^Copyright' "$windows/../LICENSE")
OriginalFilename=$program
ProductName=msrconfig
ProductVersion=$version" "$(carried version "$work/$program")"
  check "$program: stripped" "" "$(x86_64-w64-mingw32-objdump -h "$work/$program" | grep -o '\.debug_info' || true)"
  check "$program: signed" signed "$(signed "$work/$program")"
done
check "installer: signed" signed "$(signed "$installer")"
check "installer: its version" "FileVersion=$version" "$(carried version "$installer" | grep FileVersion)"

wine "$installer" /S
check "Add/Remove Programs entry" "ZYN KVR MSR Configuration Utility|$version|msrconfig developers|C:\\Program Files\\msrconfig\\msrconfig.exe|C:\\Program Files\\msrconfig|\"C:\\Program Files\\msrconfig\\Uninstall.exe\"|\"C:\\Program Files\\msrconfig\\Uninstall.exe\" /S _?=C:\\Program Files\\msrconfig|REG_DWORD 0x1|REG_DWORD 0x1" \
  "$(for name in DisplayName DisplayVersion Publisher DisplayIcon InstallLocation UninstallString QuietUninstallString NoModify NoRepair; do
       value "$name" | sed 's/^REG_SZ *//; s/^\(REG_DWORD\) *\(.*\)/\1 \2/'; done | paste -sd '|')"
size=$(value EstimatedSize)
check "Add/Remove Programs entry: EstimatedSize in KB" \
  "REG_DWORD $(find "$installed" -type f -printf '%s\n' | awk '{ sum += $1 } END { print int(sum / 1024) }')" \
  "$(printf 'REG_DWORD %d' "${size##* }")"
check "uninstaller: signed" signed "$(signed "$installed/Uninstall.exe")"

wine reg add "$key" /v DisplayVersion /d 0.9.0 /f >/dev/null 2>&1 # as an older version left it
wine "$installer" /S
check "an upgrade in place keeps one entry" "1 REG_SZ $version" \
  "$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null | grep -c 'msrconfig' ) $(value DisplayVersion | tr -s ' ')"

# The Start-menu entry starts the installed program, as a person does.
wine start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\ZYN KVR MSR Configuration Utility.lnk' || true
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^ZYN KVR MSR Configuration Utility$' | head -n 1) || true
check "Start-menu entry starts the installed program" yes "$(pgrep -f 'msrconfig\\msrconfig\.exe' >/dev/null && echo yes)"
status=0; wine "$installer" /S || status=$?
check "install refused while msrconfig runs" 2 "$status"
# As a deployment tool runs it; in a script of its own, since Wine would escape its quotes.
printf '@echo off\r\n%s\r\nexit /b %%errorlevel%%\r\n' "$(value QuietUninstallString | sed 's/^REG_SZ *//')" \
  >"$work/quiet.cmd"
quiet=$(dos "$work/quiet.cmd")
status=0; wine cmd /c "$quiet" || status=$?
check "uninstall refused while msrconfig runs" "2 yes" "$status $([ -e "$installed/msrconfig.exe" ] && echo yes)"
xdotool windowfocus --sync "$window" key Escape
timeout 30 sh -c "while pgrep -f 'msrconfig\\\\msrconfig\\.exe' >/dev/null; do sleep 0.2; done" || true
status=0; wine cmd /c "$quiet" || status=$?
check "a quiet uninstall returns once the program's files are gone" "0 gone" \
  "$status $(ls "$installed" | grep -qv Uninstall.exe && echo left || echo gone)"
for _ in $(seq 50); do [ -e "$installed" ] || break; sleep 0.2; done
check "the uninstaller and the folder follow at once" gone "$([ -e "$installed" ] && echo left || echo gone)"
check "and its entry" "" "$(value DisplayName)"

summary
