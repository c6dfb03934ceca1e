#!/bin/sh
# Runs a Windows program that opens windows under Wine, on the X server that
# tests/run-with-xvfb.sh started. Its Wine prefix (WINEPREFIX, set by the
# build) is not the one of the tests without windows: Wine's processes load
# the display driver of their prefix's desktop process, so a desktop started
# without a display would leave every window unseen. Afterwards it waits for
# the prefix's server to end, so that no desktop process outlives the X
# server it draws on.
set -e
status=0
"$(dirname "$0")/windows/run-with-wine.sh" "$@" || status=$?
wineserver -w
exit $status
