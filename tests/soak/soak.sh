#!/usr/bin/env bash
# Soak: COUNT small pictures of every format with damaged files and hostile
# names mixed in (see corpus.py), shrunk twice over: by the companion in one
# run over the whole folder, and by soak_job in one process, file after file,
# watching descriptors and heap. Afterwards every good picture must be
# halved with its original kept byte for byte, every other file untouched
# without a backup, and nothing else left in the folder.
#
#   soak.sh COUNT DORVALUNE_SHRINK SOAK_JOB [SEED]
set -u
count="$1"
shrink=$(realpath "$2")
soak_job=$(realpath "$3")
seed="${4:-1}"
here=$(dirname "$(realpath "$0")")
python=/usr/bin/python3
"$python" -c 'import PIL' 2>/dev/null || { echo "skipped: $python has no PIL"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }
seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(seconds)" 'BEGIN { printf "%.1f s", b - a }'; }

started=$(seconds)
"$python" "$here/corpus.py" make "$work/companion" "$work/manifest" "$count" "$seed" ||
  { echo "FAIL: cannot make the pictures"; exit 1; }
cp -a "$work/companion" "$work/in-process"
echo "made $count files in $(elapsed "$started")"

# The companion, two jobs at a time, over every file in one run.
started=$(seconds)
(cd "$work/companion" && "$shrink" --quiet --jobs 2 -- *) 2>"$work/report"
status=$?
echo "companion: $(elapsed "$started"), exit status $status"
[ "$status" = 1 ] || fail "companion exit status $status, not 1"
"$python" "$here/corpus.py" check "$work/companion" "$work/manifest" || fail "companion's folder"
# One report line per file passed over, with the reason its kind calls for.
for pair in "truncated random:not decodable" "noencoder:no encoder for the extension" \
            "toosmall:too small to halve"; do
  kinds=${pair%%:*}; reason=${pair#*:}
  expected=0
  for kind in $kinds; do
    expected=$((expected + $(awk -v k="$kind" '$2 == k' "$work/manifest" | wc -l)))
  done
  said=$(grep -c ": $reason" "$work/report")
  [ "$said" = "$expected" ] || fail "$said reports of '$reason', not $expected"
done
lines=$(wc -l < "$work/report")
others=$(awk '$2 != "good"' "$work/manifest" | wc -l)
[ "$lines" = "$others" ] || fail "$lines report lines for $others files passed over"

# The job in one process, file after file.
warmup=$((count / 3 < 100 ? count / 3 : 100))
started=$(seconds)
"$soak_job" "$work/in-process" "$warmup" || fail "soak_job"
echo "in one process: $(elapsed "$started")"
"$python" "$here/corpus.py" check "$work/in-process" "$work/manifest" >/dev/null ||
  fail "in-process folder (run corpus.py check on it for details)"

if [ $failures -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
[ $failures -eq 0 ]
