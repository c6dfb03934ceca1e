#!/usr/bin/env bash
# The Windows program under Wine, started as a user starts it and driven
# through its window with keys, on an X server of its own with a window
# manager (tests/run-with-xvfb.sh --window-manager): the window appears with
# the program's icon; "^ .bmp" opens the system's open-file dialog, and the
# path typed into its file name box is listed; then Enter on "OK" halves that
# file and keeps the original beside it as "old" + name, while Escape ends
# the program touching nothing. A file named on the command line is never
# listed, so never touched.
#
#   program-test.sh PROGRAM.exe      (WINE: the command that runs it; default wine)
set -euo pipefail
program=$1
export WINEDEBUG=-all LC_ALL=C  # the dialogs in English: "Open"
work=$(mktemp -d)
wine_pid=
trap '[ -n "$wine_pid" ] && kill "$wine_pid" 2>/dev/null; rm -rf "$work"' EXIT

fail() {
  echo "FAIL ($way): $*" >&2
  ls -la "$folder" >&2
  exit 1
}

# The Windows name of a Linux path: Wine's drive Z: is the root.
windows_path() {
  printf 'Z:%s' "${1//\//\\}"
}

# The first visible window of the title, waiting for it up to 30 seconds.
window_titled() {
  timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n1
}

# The program ends within 20 seconds, with its exit code.
ends() {
  timeout 20 sh -c "while kill -0 $wine_pid 2>/dev/null; do sleep 0.1; done" || return 1
  wait "$wine_pid"
}

for way in ok escape; do
  folder=$work/$way
  mkdir -p "$folder"
  convert -size 100x80 gradient:red-blue "BMP3:$folder/a.bmp"
  convert -size 10x8 xc:green "BMP3:$folder/c.bmp"
  cp "$folder/a.bmp" "$work/a-$way.bmp"
  cp "$folder/c.bmp" "$work/c-$way.bmp"

  "${WINE:-wine}" "$program" "$(windows_path "$folder/c.bmp")" &
  wine_pid=$!
  window=$(window_titled Dorvalune)
  [ -n "$window" ] || fail "the window did not appear"
  xprop -id "$window" _NET_WM_ICON | grep -q 'Icon (32 x 32)' || fail "the window has no 32 x 32 icon"

  # "OK" has the focus when the window opens; the tab order is OK, the list,
  # "^ .bmp".
  xdotool windowactivate --sync "$window"
  xdotool key Tab Tab space
  chooser=$(window_titled Open)
  [ -n "$chooser" ] || fail "the open-file dialog did not appear"
  xdotool windowactivate --sync "$chooser"
  xdotool type --delay 10 "$(windows_path "$folder/a.bmp")"
  xdotool key Return
  timeout 10 sh -c "while xdotool search --onlyvisible --name '^Open\$'; do sleep 0.1; done" \
    >/dev/null 2>&1 || fail "the open-file dialog stayed open"

  # The focus is back on "^ .bmp"; Tab goes round to "OK".
  xdotool windowactivate --sync "$window"
  if [ "$way" = ok ]; then
    xdotool key Tab Return
  else
    xdotool key Escape
  fi
  ends || fail "the program did not end with exit code 0"
  wine_pid=

  cmp -s "$folder/c.bmp" "$work/c-$way.bmp" || fail "c.bmp, named on the command line, changed"
  if [ "$way" = ok ]; then
    [ "$(identify -format '%w %h' "$folder/a.bmp")" = "50 40" ] || fail "a.bmp is not 50 x 40"
    cmp -s "$folder/olda.bmp" "$work/a-ok.bmp" || fail "olda.bmp is not the original a.bmp"
    expected="a.bmp c.bmp olda.bmp"
  else
    cmp -s "$folder/a.bmp" "$work/a-escape.bmp" || fail "a.bmp changed"
    expected="a.bmp c.bmp"
  fi
  [ "$(ls "$folder" | xargs)" = "$expected" ] || fail "the files are not $expected"
  echo "passed: $way"
done
