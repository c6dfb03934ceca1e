#!/usr/bin/env bash
# Kills dorvalune-shrink at its first, second, third ... system call while it
# shrinks one file, and after every kill checks that nothing was lost: the
# path holds the original or the finished half-size image, the backup is
# absent or the original, and a finished image always has its backup. Nothing
# else may be left in the folder, except after a kill between giving the
# complete temporary file its name and renaming it into place, which can
# leave that hidden, complete file (where the file system lacks O_TMPFILE,
# any kill from creating the temporary file on, complete or not).
set -u
shrink="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two pictures: a bitmap and a PNG made from it.
/usr/bin/python3 - "$work" <<'PY'
import sys
from PIL import Image
w = Image.new("RGB", (40, 30))
w.putdata([((x * 6) % 256, (y * 8) % 256, 128 if (x + y) % 7 else 0) for y in range(30) for x in range(40)])
w.save(sys.argv[1] + "/original.bmp")
w.save(sys.argv[1] + "/original.png")
PY

failures=0
for ext in bmp png; do
  # The finished state, from an undisturbed run.
  mkdir -p "$work/ref"; cp "$work/original.$ext" "$work/ref/a.$ext"
  "$shrink" --quiet --jobs 1 "$work/ref/a.$ext" || { echo "reference run failed"; exit 1; }
  cp "$work/ref/a.$ext" "$work/half.$ext"; rm -rf "$work/ref"

  # Every system call of an undisturbed run, as name and occurrence: the
  # inject's counter is kept per system call.
  mkdir -p "$work/trace"; cp "$work/original.$ext" "$work/trace/a.$ext"
  strace -f -qq -o "$work/trace.txt" "$shrink" --quiet --jobs 1 "$work/trace/a.$ext"
  rm -rf "$work/trace"
  sed -E -n 's/^([0-9]+ +)?([a-z0-9_]+)\((.*)/\2 \3/p' "$work/trace.txt" > "$work/calls.txt"
  calls=$(awk '{ seen[$1]++; print $1 ":" seen[$1] }' "$work/calls.txt")
  # The calls between which a temporary file has a name: from linking the
  # unnamed file (or creating the named one) to the rename.
  named=$(awk '$1 == "linkat" && /\/proc\/self\/fd/ { print NR; exit }' "$work/calls.txt")
  no_tmpfile=
  if [ -z "$named" ]; then
    no_tmpfile=yes
    echo "$ext: no O_TMPFILE here; a kill while writing may leave a temporary file"
    named=$(awk '$1 == "openat" && /\/\.a\./ && /O_CREAT/ { print NR; exit }' "$work/calls.txt")
  fi
  renamed=$(awk -v from="${named:-0}" 'NR > from && $1 == "rename" { print NR; exit }' \
            "$work/calls.txt")
  total=0; position=0; leftovers=0
  for call in $calls; do
    position=$((position + 1))
    name=${call%%:*}; k=${call##*:}
    dir="$work/run"; rm -rf "$dir"; mkdir "$dir"
    cp "$work/original.$ext" "$dir/a.$ext"
    sh -c 'strace -f -o /dev/null -e inject="$1":signal=SIGKILL:when="$2" "$3" --quiet --jobs 1 "$4"' \
      sh "$name" "$k" "$shrink" "$dir/a.$ext" >/dev/null 2>&1
    path_state=missing; backup_state=absent
    if [ -e "$dir/a.$ext" ]; then
      if cmp -s "$dir/a.$ext" "$work/original.$ext"; then path_state=original
      elif cmp -s "$dir/a.$ext" "$work/half.$ext"; then path_state=half
      else path_state=other; fi
    fi
    if [ -e "$dir/olda.$ext" ]; then
      if cmp -s "$dir/olda.$ext" "$work/original.$ext"; then backup_state=original
      else backup_state=other; fi
    fi
    case "$path_state/$backup_state" in
      original/absent|original/original|half/original) ;;
      *) echo "kill at $name call $k ($ext): path $path_state, backup $backup_state"
         failures=$((failures + 1));;
    esac
    others=$(find "$dir" -mindepth 1 ! -name "a.$ext" ! -name "olda.$ext" -printf '%f ')
    if [ -n "$others" ]; then
      leftovers=$((leftovers + 1))
      complete=yes
      for other in $others; do cmp -s "$dir/$other" "$work/half.$ext" || complete=no; done
      if [ -z "$named" ] || [ "$position" -le "$named" ] || [ "$position" -gt "${renamed:-0}" ] ||
         { [ "$complete" = no ] && [ -z "$no_tmpfile" ]; }; then
        echo "kill at $name call $k ($ext): left $others"
        failures=$((failures + 1))
      fi
    fi
    total=$((total + 1))
  done
  n=$((total + 1))
  echo "$ext: killed at each of $((n - 1)) system calls; $leftovers left a temporary file"
done
if [ $failures -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
[ $failures -eq 0 ]
