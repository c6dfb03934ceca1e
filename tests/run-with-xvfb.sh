#!/usr/bin/env bash
# Runs a command under an X server of its own: a fresh Xvfb on a display
# number it picks itself, so that test programs may run side by side.
#
#   tests/run-with-xvfb.sh [--window-manager] COMMAND...
#
# --window-manager also runs a window manager (openbox), as on every desktop:
# it decorates, places and focuses the windows and draws their title bars.
set -euo pipefail
manage=false
if [ "${1:-}" = --window-manager ]; then
  manage=true
  shift
fi
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/log" &
server=$!
manager=
trap 'kill $manager "$server" 2>/dev/null; wait $manager "$server" 2>/dev/null; rm -rf "$work"' EXIT
# A loaded machine may take a while to start it.
for _ in $(seq 600); do
  grep -q . "$work/display" 2>/dev/null && break
  if ! kill -0 "$server" 2>/dev/null; then
    cat "$work/log" >&2
    exit 1
  fi
  sleep 0.05
done
if ! grep -q . "$work/display"; then
  echo "run-with-xvfb.sh: Xvfb gave no display within 30 s" >&2
  cat "$work/log" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"
if $manage; then
  if ! command -v openbox >/dev/null; then
    echo "run-with-xvfb.sh: openbox is missing (scripts/install-deps test)" >&2
    exit 1
  fi
  # Its settings are the system's defaults, never the user's.
  XDG_CONFIG_HOME="$work" openbox --sm-disable >"$work/manager.log" 2>&1 &
  manager=$!
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    if ! kill -0 "$manager" 2>/dev/null; then
      cat "$work/manager.log" >&2
      exit 1
    fi
    sleep 0.05
  done
fi
# Desktop settings stay in memory: the tests change none of the user's.
export GSETTINGS_BACKEND=memory
# The toolkit and its libraries keep caches that the leak checker would
# otherwise report as leaks of ours.
export LSAN_OPTIONS="suppressions=$(dirname "$0")/gui-leaks.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
"$@"
