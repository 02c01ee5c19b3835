# Sourced: wine_session_start PREFIX gives the calling script a Wine session on a virtual
# display of its own (a booted prefix with the fonts the dialogs need, no crash dialog, no
# window-manager waits); wine_session_end stops it.
wine_session_start() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  local n=60
  while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  export DISPLAY=:$n
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  wine_session_xvfb=$!
  mkdir -p "$WINEPREFIX"
  wineserver -p >/dev/null 2>&1 # started here, so that no later call hands it our output
  wineboot -i >/dev/null 2>&1
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

wine_session_end() {
  wineserver -k 2>/dev/null || true
  kill "$wine_session_xvfb" 2>/dev/null || true
  unset WINEPREFIX DISPLAY
}
