#!/usr/bin/env bash
# Runs a command under an X server of its own: a fresh Xvfb on a display
# number it picks itself, so that test programs may run side by side.
set -euo pipefail
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/log" &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 200); do
  grep -q . "$work/display" 2>/dev/null && break
  if ! kill -0 "$server" 2>/dev/null; then
    cat "$work/log" >&2
    exit 1
  fi
  sleep 0.05
done
export DISPLAY=":$(head -n1 "$work/display")"
# Desktop settings stay in memory: the tests change none of the user's.
export GSETTINGS_BACKEND=memory
# The toolkit and its libraries keep caches that the leak checker would
# otherwise report as leaks of ours.
export LSAN_OPTIONS="suppressions=$(dirname "$0")/gui-leaks.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
"$@"
