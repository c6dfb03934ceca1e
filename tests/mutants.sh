#!/usr/bin/env bash
# Shows that the tests find faults: applies each deliberate fault of
# tests/mutants.txt on its own to a copy of the sources, rebuilds, runs the
# tests and says whether they failed. Exits 0 only when every fault was caught.
#
#   tests/mutants.sh [-s SOURCE] [-k FOLDER] [NUMBER|NAME ...]
#
#   -s SOURCE  the checkout to test (default: the one holding this script)
#   -k FOLDER  work in FOLDER and keep it, so that a second run of the same
#              checkout only rebuilds what changed (files deleted since stay
#              there: use a new folder for another checkout). Default: a
#              temporary folder, removed at the end.
#   NUMBER|NAME  only these faults: a number (3), a range (3-7) or a name
#
# Slow: one build and one run of the whole suite per fault. Not run by CI.
set -u
here=$(cd "$(dirname "$0")" && pwd)
table=$here/mutants.txt
src=$(cd "$here/.." && pwd)
work=
while getopts s:k:h opt; do
    case $opt in
        s) src=$(cd "$OPTARG" && pwd) || exit 2 ;;
        k) mkdir -p "$OPTARG" && work=$(cd "$OPTARG" && pwd) || exit 2 ;;
        *) sed -n '2,15s/^# \{0,1\}//p' "$0"; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ -z "$work" ]; then
    work=$(mktemp -d /tmp/dorvalune-mutants.XXXXXX) || exit 2
    trap 'rm -rf "$work"' EXIT
fi

# Lists the chosen faults as "number name", or applies fault NUMBER in the
# work folder, keeping the file as it was in .unmutated, and prints the file's
# name; exit 3 with the reason when the text is not in the file exactly once.
mutant() {
    /usr/bin/python3 - "$table" "$work" "$@" <<'EOF'
import os, re, shutil, sys
table, work, command, args = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
entries = [dict(line.split(": ", 1) for line in block.strip("\n").splitlines())
           for block in re.split(r"\n\s*\n", re.sub(r"(?m)^#.*\n", "", open(table).read()))
           if block.strip()]
def chosen(n, e):
    ranges = [a.split("-") for a in args if re.fullmatch(r"\d+(-\d+)?", a)]
    return not args or e["name"] in args or any(int(r[0]) <= n <= int(r[-1]) for r in ranges)
if command == "list":
    print("\n".join(f"{n} {e['name']}" for n, e in enumerate(entries, 1) if chosen(n, e)))
    sys.exit(0)
e = entries[int(args[0]) - 1]
path, old, new = f"{work}/{e['file']}", *(e[k].replace("\\n", "\n") for k in ("from", "to"))
text = open(path).read() if os.path.isfile(path) else ""
if text.count(old) != 1:
    how = f"found {text.count(old)} times" if old in text else "not found"
    sys.exit(print(f"pattern {how} in {e['file']}") or 3)
print(e["file"])
shutil.copyfile(path, f"{work}/.unmutated")
open(path, "w").write(text.replace(old, new))
EOF
}

# The copy holds what git would commit; files already the same keep their
# time, so a kept folder rebuilds only what changed.
echo "copying $src to $work"
git -C "$src" ls-files -z -co --exclude-standard | while IFS= read -r -d '' f; do
    cmp -s "$src/$f" "$work/$f" 2>/dev/null ||
        { mkdir -p "$(dirname "$work/$f")" && cp -P "$src/$f" "$work/$f"; }
done
cd "$work" && mkdir -p logs || exit 2
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDORVALUNE_BENCH=OFF >logs/configure.log 2>&1 || { cat logs/configure.log; exit 2; }
run_tests() {  # $1: log name; 0 when the build and every test pass, 1 build failed, 2 a test failed
    cmake --build build -j"$(nproc)" </dev/null >"logs/$1.log" 2>&1 || return 1
    # A failure counts when the test fails again on its own: on a busy machine
    # a timed test may fail once, and then the whole suite runs again.
    for stop in --stop-on-failure ""; do
        ctest --test-dir build -j"$(nproc)" $stop </dev/null >>"logs/$1.log" 2>&1 && return 0
        ctest --test-dir build --rerun-failed </dev/null >>"logs/$1.log" 2>&1 || return 2
    done
}
echo "building and testing the unchanged sources"
run_tests unchanged || { echo "the unchanged sources fail: $work/logs/unchanged.log"; exit 2; }

caught=0 missed=0 absent=0 total=0
while read -r n name <&3; do
    total=$((total + 1)) start=$SECONDS
    file=$(mutant apply "$n")
    case $? in
        0) run_tests "$n"; status=$?
           cp .unmutated "$file"  # a fresh time stamp, so the next build recompiles it
           case $status in
               0) result="NOT caught"; missed=$((missed + 1)) ;;
               1) result="caught (build)"; caught=$((caught + 1)) ;;
               *) by=$(awk '/tests FAILED:/ { getline; by = $3 } END { print by }' "logs/$n.log")
                  result="caught (${by:-ctest failed})"; caught=$((caught + 1)) ;;
           esac ;;
        3) result=$file; absent=$((absent + 1)) ;;
        *) echo "cannot apply mutant $n"; exit 2 ;;
    esac
    printf '%3d %-20s %s [%ds]\n' "$n" "$name" "$result" $((SECONDS - start))
done 3< <(mutant list "$@")
echo "$caught of $total faults caught; $missed NOT caught; $absent patterns not found"
[ "$total" -gt 0 ] && [ "$caught" -eq "$total" ]
