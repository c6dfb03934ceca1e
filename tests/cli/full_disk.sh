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
/usr/bin/python3 -c 'import sys; from PIL import Image; p = Image.new("RGB", (300, 200))
p.putdata([(x % 256, y % 256, x * y % 256) for y in range(200) for x in range(300)]); p.save(sys.argv[1])' \
  "$work/original.bmp"

failures=0
fail() { echo "FAIL $case: $1"; failures=$((failures + 1)); }
# A fresh tmpfs with the options, the picture on it, and then its data space
# filled, or all its inodes but the given number.
fresh_disk() {
  umount "$disk" 2>/dev/null
  mount -t tmpfs -o "$1" tmpfs "$disk" || skip "cannot mount tmpfs here"
  cp "$work/original.bmp" "$disk/a.bmp"
  case "$2" in
    data) dd if=/dev/zero of="$disk/filler" bs=4k 2>/dev/null ;;
    inodes*) local i=0
      while touch "$disk/fill$i" 2>/dev/null; do i=$((i + 1)); done
      for ((j = 0; j < ${2#inodes}; j++)); do i=$((i - 1)); rm "$disk/fill$i"; done ;;
  esac
}
expect_passed_over() {
  local said status
  said=$(cd "$disk" && "$shrink" --jobs 1 a.bmp 2>&1 >/dev/null)
  status=$?
  [ "$status" = 1 ] || fail "exit status $status, not 1"
  [ "$said" = "passed over a.bmp: $1" ] || fail "reported '$said', not '$1'"
  cmp -s "$disk/a.bmp" "$work/original.bmp" || fail "a.bmp changed"
  [ "$(ls -A "$disk" | grep -v -e '^fill' -e '^a.bmp$')" = "" ] || fail "left behind: $(ls -A "$disk")"
  # Once there is room again, the job goes through.
  rm -f "$disk"/fill*
  [ "${2:-}" = retry ] || return 0
  (cd "$disk" && "$shrink" --quiet --jobs 1 a.bmp) || fail "not shrunk once there was room"
  cmp -s "$disk/olda.bmp" "$work/original.bmp" || fail "backup differs from the original"
}

case="data space full"; fresh_disk size=400k data
expect_passed_over "cannot write (disk full)" retry
case="no inode left for the backup's name"; fresh_disk size=1m,nr_inodes=16 inodes0
expect_passed_over "cannot make the backup (disk full)"
case="no inode left for the new image"; fresh_disk size=1m,nr_inodes=16 inodes1
expect_passed_over "cannot write (disk full)" retry
case="read-only file system"; fresh_disk size=1m none; mount -o remount,ro "$disk"
expect_passed_over "cannot make the backup (permission denied)"
[ $failures -eq 0 ] && echo "1 passed, 0 failed"
