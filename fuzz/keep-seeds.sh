#!/usr/bin/env bash
# Adds to the committed seeds (fuzz/corpus/<target>) the fewest inputs that fuzz runs
# found (build/fuzz/corpus/<target>) which reach code edges the seeds do not. CI's short
# runs start from the seeds, so what a long run discovered is tried again on every change.
# The seeds already there stay as they are. Usage: fuzz/keep-seeds.sh [target...]
# (after fuzz/run.sh has built the targets and run them).
set -euo pipefail
cd "$(dirname "$0")/.."

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:malloc_context_size=0}
for t in "${targets[@]}"; do
  [[ -d fuzz/corpus/$t ]] || { echo "fuzz/keep-seeds.sh: unknown target $t" >&2; exit 2; }
  fuzzer=build/fuzz/fuzz/${t}_fuzz
  [[ -x $fuzzer ]] || { echo "fuzz/keep-seeds.sh: $fuzzer is not built (fuzz/run.sh builds it)" >&2; exit 1; }
  log=build/fuzz/artifacts/$t/merge.log
  mkdir -p "build/fuzz/corpus/$t" "${log%/*}"
  # -use_counters=0: one input per new edge, not one per hit-count bucket of each edge.
  if ! "$fuzzer" -merge=1 -use_counters=0 -max_len=4096 "fuzz/corpus/$t" "build/fuzz/corpus/$t" >"$log" 2>&1; then
    tail -n 30 "$log"
    echo "fuzz/keep-seeds.sh: merging $t failed" >&2
    exit 1
  fi
  echo "$t: $(find "fuzz/corpus/$t" -type f | wc -l) seeds"
done
