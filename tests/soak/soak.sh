#!/usr/bin/env bash
# Soak: COUNT small pictures of every format with damaged files and hostile
# names mixed in (see corpus.py), shrunk by the companion in one run over the
# whole folder with few descriptors to spare, so that one kept open per file
# shows. Afterwards every good picture must be halved with its original kept
# byte for byte, every other file untouched without a backup, nothing else
# left in the folder, and every file passed over reported once, with its reason.
#
#   soak.sh COUNT DORVALUNE_SHRINK [SEED]
set -u
shrink=$(realpath "$2")
python=/usr/bin/python3
corpus="$(dirname "$(realpath "$0")")/corpus.py"
"$python" -c 'import PIL' 2>/dev/null || { echo "skipped: $python has no PIL"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$python" "$corpus" make "$work/files" "$work/manifest" "$1" "${3:-1}" || exit 1
(cd "$work/files" && ulimit -n 64 && "$shrink" --quiet --jobs 2 -- *) 2>"$work/report"
status=$?
failures=0
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }
[ "$status" = 1 ] || fail "exit status $status, not 1"
"$python" "$corpus" check "$work/files" "$work/manifest" || fail "the folder after the run"
for pair in "damaged:not decodable" "noencoder:no encoder for the extension" \
            "toosmall:too small to halve"; do
  expected=$(awk -v k="${pair%%:*}" '$2 == k' "$work/manifest" | wc -l)
  said=$(grep -c ": ${pair#*:}" "$work/report")
  [ "$said" = "$expected" ] || fail "$said reports of '${pair#*:}', not $expected"
done
[ "$(wc -l < "$work/report")" = "$(awk '$2 != "good"' "$work/manifest" | wc -l)" ] ||
  fail "not one report line for each file passed over"
[ $failures -eq 0 ] && echo "1 passed, 0 failed"
