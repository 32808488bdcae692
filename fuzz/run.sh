#!/usr/bin/env bash
# Runs each fuzz target for SECONDS (all of them, or those named), each starting from its
# committed seeds (fuzz/corpus/<target>) and from what earlier runs in this build tree
# found (build/fuzz/corpus/<target>). Stops at the first target that fails; the input
# that broke it is kept under build/fuzz/artifacts/<target>/.
# Usage: fuzz/run.sh SECONDS [target...]        e.g. fuzz/run.sh 15; fuzz/run.sh 600 base64
# Extra libFuzzer switches go in EQ_FUZZ_FLAGS (e.g. "-runs=10000000").
# Builds the "fuzz" preset first (clang, libFuzzer, AddressSanitizer + UBSan).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: fuzz/run.sh SECONDS [target...]}
shift
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(base64 quoted_printable encoded_word address_list smtp_reply windows1251
                                       value_text call_method json_mapping)

cmake --preset fuzz >/dev/null
if ! cmake --build --preset fuzz >build/fuzz/build.log 2>&1; then
  cat build/fuzz/build.log
  echo "fuzz/run.sh: the fuzz build failed" >&2
  exit 1
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for t in "${targets[@]}"; do
  [[ -d fuzz/corpus/$t ]] || { echo "fuzz/run.sh: unknown target $t" >&2; exit 2; }
  work=build/fuzz/corpus/$t
  artifacts=build/fuzz/artifacts/$t
  mkdir -p "$work" "$artifacts"
  max_len=4096
  # Every input is read again split at each of its offsets: keep them short.
  [[ $t == smtp_reply ]] && max_len=512
  echo "=== $t: ${seconds}s"
  # shellcheck disable=SC2086
  if ! "build/fuzz/fuzz/${t}_fuzz" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 -rss_limit_mb=2048 \
         -print_final_stats=1 -artifact_prefix="$artifacts/" ${EQ_FUZZ_FLAGS:-} "$work" "fuzz/corpus/$t" \
         >"$artifacts/log" 2>&1; then
    tail -n 60 "$artifacts/log"
    echo "fuzz/run.sh: $t failed; the input is in $artifacts/" >&2
    exit 1
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|^#[0-9]+.*DONE' "$artifacts/log" || true
done
