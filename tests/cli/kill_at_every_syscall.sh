#!/usr/bin/env bash
# Kills dorvalune-shrink at its first, second, third ... system call while it
# shrinks one file, and after every kill checks that nothing was lost: the
# path holds the original or the finished half-size image, the backup is
# absent or the original, and a finished image always has its backup. Nothing
# else may be left, except after a kill between giving the complete temporary
# file its name and the last rename, which moves the new image into place:
# that can leave the complete file under its temporary name (without
# O_TMPFILE: any kill from creating it on).
set -u
shrink="$1"
# LeakSanitizer cannot run under ptrace; the sanitizer build's leaks are
# found by the other tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 -c 'import sys; from PIL import Image
w = Image.new("RGB", (40, 30))
w.putdata([(x * 6 % 256, y * 8 % 256, 128 if (x + y) % 7 else 0) for y in range(30) for x in range(40)])
w.save(sys.argv[1] + ".bmp"); w.save(sys.argv[1] + ".png")' "$work/original"

failures=0
for ext in bmp png; do
  # The finished state and the system calls, from an undisturbed run; each
  # call is named with its occurrence, as strace's inject counts them.
  mkdir "$work/ref"; cp "$work/original.$ext" "$work/ref/a.$ext"
  strace -f -qq -o "$work/trace.txt" "$shrink" --quiet --jobs 1 "$work/ref/a.$ext" || exit 1
  cp "$work/ref/a.$ext" "$work/half.$ext"; rm -rf "$work/ref"
  sed -E -n 's/^([0-9]+ +)?([a-z0-9_]+)\((.*)/\2 \3/p' "$work/trace.txt" > "$work/calls.txt"
  # From linking the unnamed temporary file (or creating a named one) to the
  # last rename, a temporary file has a name.
  named=$(awk '$1 == "linkat" && /\/proc\/self\/fd/ { print NR; exit }' "$work/calls.txt")
  no_tmpfile=
  [ -z "$named" ] && no_tmpfile=yes &&
    named=$(awk '$1 == "openat" && /\/\.[^"\/]*"/ && /O_CREAT/ { print NR; exit }' "$work/calls.txt")
  renamed=$(awk -v from="${named:-0}" 'NR > from && $1 == "rename" { last = NR } END { print last }' "$work/calls.txt")
  position=0; leftovers=0
  for call in $(awk '{ seen[$1]++; print $1 ":" seen[$1] }' "$work/calls.txt"); do
    position=$((position + 1))
    dir="$work/run"; rm -rf "$dir"; mkdir "$dir"; cp "$work/original.$ext" "$dir/a.$ext"
    strace -f -o /dev/null -e inject="${call%%:*}":signal=SIGKILL:when="${call##*:}" \
      "$shrink" --quiet --jobs 1 "$dir/a.$ext" >/dev/null 2>&1
    path=missing; [ -e "$dir/a.$ext" ] && path=other
    cmp -s "$dir/a.$ext" "$work/original.$ext" && path=original
    cmp -s "$dir/a.$ext" "$work/half.$ext" && path=half
    backup=absent; [ -e "$dir/olda.$ext" ] && backup=other
    cmp -s "$dir/olda.$ext" "$work/original.$ext" && backup=original
    case "$path/$backup" in
      original/absent|original/original|half/original) ;;
      *) echo "kill at $call ($ext): path $path, backup $backup"; failures=$((failures + 1));;
    esac
    others=$(find "$dir" -mindepth 1 ! -name "a.$ext" ! -name "olda.$ext" -printf '%f ')
    [ -z "$others" ] && continue
    leftovers=$((leftovers + 1))
    complete=yes
    for other in $others; do cmp -s "$dir/$other" "$work/half.$ext" || complete=no; done
    if [ -z "$named" ] || [ "$position" -le "$named" ] || [ "$position" -gt "${renamed:-0}" ] ||
       { [ "$complete" = no ] && [ -z "$no_tmpfile" ]; }; then
      echo "kill at $call ($ext): left $others"; failures=$((failures + 1))
    fi
  done
  echo "$ext: killed at each of $position system calls; $leftovers left a temporary file"
done
[ $failures -eq 0 ] && echo "1 passed, 0 failed"
