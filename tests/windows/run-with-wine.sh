#!/bin/sh
# Runs a Windows program under Wine: the test programs' emulator. The Wine
# prefix lives in the build folder (WINEPREFIX, set by the build) and is made
# on the first run, once, however many tests start at the same time.
#
# With WINE_USER set, a run as root runs the program as that user instead
# (the prefix then belongs to that user): Wine lets root write where an
# access list forbids it, so a test of such a folder needs another user.
set -e
: "${WINEPREFIX:?the build sets WINEPREFIX}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A program that user cannot read runs as root (and such a test skips itself).
as=
if [ -n "${WINE_USER:-}" ] && [ "$(id -u)" = 0 ]; then
  as="setpriv --reuid=$WINE_USER --regid=$(id -g "$WINE_USER") --clear-groups env HOME=$WINEPREFIX"
  if $as test -r "$1"; then
    mkdir -p "$WINEPREFIX"
    chown "$WINE_USER" "$WINEPREFIX"
  else
    echo "$WINE_USER cannot read $1: it runs as root" >&2
    as= WINEPREFIX=$WINEPREFIX-root
  fi
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      $as wineboot -i >/dev/null 2>&1
      # The prefix is written out when the server stops.
      $as wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec $as wine "$@"
