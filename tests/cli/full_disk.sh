#!/usr/bin/env bash
# Runs dorvalune-shrink on a small file system of its own when it is full,
# out of inodes, or read-only, and checks each time that the picture is
# untouched, nothing else was left behind, and the report names the cause.
# Needs root to mount; exits 77 (skipped) where it cannot.
set -u
shrink=$(realpath "$1")

skip() { echo "skipped: $1"; exit 77; }
[ "$(id -u)" = 0 ] || skip "mounting a file system needs root"
# A mount namespace of its own, so that no mount outlives the test.
if [ -z "${DORVALUNE_OWN_NAMESPACE:-}" ]; then
  unshare --mount --propagation private true 2>/dev/null || skip "no mount namespaces here"
  DORVALUNE_OWN_NAMESPACE=1 exec unshare --mount --propagation private "$0" "$@"
fi

work=$(mktemp -d)
disk="$work/disk"
trap 'umount "$disk" 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$disk"

# 300 x 200 at 24 bits: 180 kB, halved 45 kB.
/usr/bin/python3 - "$work/original.bmp" <<'PY'
import sys
from PIL import Image
picture = Image.new("RGB", (300, 200))
picture.putdata([(x % 256, y % 256, (x * y) % 256) for y in range(200) for x in range(300)])
picture.save(sys.argv[1])
PY

failures=0
fail() { echo "FAIL $case: $1"; failures=$((failures + 1)); }

# Mounts a fresh tmpfs with the options and puts the picture on it.
fresh_disk() {
  umount "$disk" 2>/dev/null
  mount -t tmpfs -o "$1" tmpfs "$disk" || skip "cannot mount tmpfs here"
  cp "$work/original.bmp" "$disk/a.bmp"
}

# Fill the disk: its data space with one file, or its inodes with empty
# files, leaving the given number of inodes free.
fill_data() { dd if=/dev/zero of="$disk/filler" bs=4k 2>/dev/null; }
fill_inodes() {
  local i=0
  while touch "$disk/fill$i" 2>/dev/null; do i=$((i + 1)); done
  [ "${1:-0}" -gt 0 ] && for ((j = 0; j < $1; j++)); do i=$((i - 1)); rm "$disk/fill$i"; done
  true
}

# Runs the companion on a.bmp and checks the outcome.
expect_passed_over() {
  local said status listing
  said=$(cd "$disk" && "$shrink" --jobs 1 a.bmp 2>&1 >/dev/null)
  status=$?
  [ "$status" = 1 ] || fail "exit status $status, not 1"
  [ "$said" = "passed over a.bmp: $1" ] || fail "reported '$said', not '$1'"
  cmp -s "$disk/a.bmp" "$work/original.bmp" || fail "a.bmp changed"
  listing=$(ls -A "$disk" | grep -v '^fill' | tr '\n' ' ')
  [ "$listing" = "a.bmp " ] || fail "left behind: $listing"
}

expect_shrunk() {
  (cd "$disk" && "$shrink" --quiet --jobs 1 a.bmp) || fail "not shrunk once there was room"
  cmp -s "$disk/olda.bmp" "$work/original.bmp" || fail "backup differs from the original"
}

case="data space full"
fresh_disk size=400k
fill_data
expect_passed_over "cannot write (disk full)"
rm "$disk/filler"
expect_shrunk

case="no inode left for the backup's name"
fresh_disk size=1m,nr_inodes=16
fill_inodes 0
expect_passed_over "cannot make the backup (disk full)"

case="no inode left for the new image"
fresh_disk size=1m,nr_inodes=16
fill_inodes 1
expect_passed_over "cannot write (disk full)"
rm "$disk"/fill*
expect_shrunk

case="read-only file system"
fresh_disk size=1m
mount -o remount,ro "$disk"
expect_passed_over "cannot make the backup (permission denied)"

if [ $failures -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
[ $failures -eq 0 ]
