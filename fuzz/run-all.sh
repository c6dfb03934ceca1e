#!/usr/bin/env bash
# Runs every fuzz target in build-fuzz/ for a bounded time, one after another.
#
#   fuzz/run-all.sh SECONDS [CORPUS_ROOT] [TARGET...]
#
# Each target keeps its corpus in CORPUS_ROOT/<target> (default: a fresh
# temporary folder), seeded from the project's own samples and the public
# suites under tests/data. Crashes, leaks, timeouts and out-of-memory
# inputs are written to CORPUS_ROOT/artifacts/<target>/; the script fails if
# any target found one.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: fuzz/run-all.sh SECONDS [CORPUS_ROOT] [TARGET...]}
root=${2:-$(mktemp -d /tmp/dorvalune-fuzz-XXXXXX)}
shift $(($# < 2 ? $# : 2))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(BmpDecoderFuzz PngDecoderFuzz GifDecoderFuzz JpegDecoderFuzz TiffDecoderFuzz LoadFuzz JobFuzz)
fi

suites=tests/data

# The seed folders for a target: its format's samples, or every format's
# for the targets that take any file.
seeds_for() {
  case $1 in
    BmpDecoderFuzz) echo tests/data/bmp $suites/bmpsuite ;;
    PngDecoderFuzz) echo $suites/pngsuite ;;
    GifDecoderFuzz) echo tests/data/gif ;;
    JpegDecoderFuzz) echo tests/data/jpeg ;;
    TiffDecoderFuzz) echo tests/data/tiff ;;
    *) echo tests/data $suites/bmpsuite/g $suites/pngsuite ;;
  esac
}

failed=0
for target in "${targets[@]}"; do
  binary=build-fuzz/fuzz/$target
  [ -x "$binary" ] || { echo "fuzz: $binary is missing (run make fuzz)" >&2; exit 1; }
  corpus=$root/$target
  artifacts=$root/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  if [ -z "$(ls -A "$corpus")" ]; then
    for folder in $(seeds_for "$target"); do
      [ -d "$folder" ] || continue
      find "$folder" -type f -size -1000k -not -name '*.txt' -not -name '*.md' \
        -exec sh -c 'for f; do cp "$f" "$0/seed-$(basename "$(dirname "$f")")-$(basename "$f")"; done' \
        "$corpus" {} +
    done
  fi
  echo "fuzz: $target for $seconds s over $(ls "$corpus" | wc -l) inputs"
  if ! ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$binary" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 \
      -artifact_prefix="$artifacts/" -print_final_stats=1 >"$root/$target.log" 2>&1; then
    echo "fuzz: $target FOUND A DEFECT, see $root/$target.log and $artifacts/" >&2
    grep -m 20 -E 'ERROR|SUMMARY|Test unit written' "$root/$target.log" >&2 || true
    failed=1
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$root/$target.log" || true
done
exit $failed
