#!/bin/sh
# Runs a Windows program under Wine: the test programs' emulator. The Wine
# prefix lives in the build folder (WINEPREFIX, set by the build) and is made
# on the first run, once, however many tests start at the same time.
set -e
: "${WINEPREFIX:?the build sets WINEPREFIX}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot -i >/dev/null 2>&1
      # The prefix is written out when the server stops.
      wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
