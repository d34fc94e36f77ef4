#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60)
# from a seed corpus of the files the tests use. Any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${FUZZ_BUILD:-build-fuzz}
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT

cmake -S . -B "$build" -DZVX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j"$(nproc)"

# run TARGET SEED-MAKER [SEED-MAKER-OPTION]: every input within 10 s and 2 GiB;
# what it found, in TARGET's log.
run() {
  local name=$1 seeds=$2
  shift 2
  mkdir -p "$corpus/$name"
  "$build/fuzz/$seeds" "$@" "$corpus/$name"
  {
    echo "fuzz: $name for ${seconds}s"
    "$build/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      "$corpus/$name" 2>&1 |
      grep -E '^(stat::number_of_executed_units|stat::new_units_added|==[0-9]+==ERROR|SUMMARY)' || true
    test "${PIPESTATUS[0]}" -eq 0
  } > "$corpus/$name.log"
}

# As many at once as there are processors, each for its whole time.
targets=(
  "fuzz_wav make_wav_seeds"
  "fuzz_bank make_bank_seeds"
  "fuzz_bmp make_bmp_seeds"
  "fuzz_xml make_skin_seeds"
  "fuzz_evaluate make_skin_seeds"
  "fuzz_skin make_skin_seeds --editor"
  "fuzz_learn_map make_learn_map_seeds"
  "fuzz_vst3_state make_vst3_state_seeds"
)
failed=0
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$(nproc)" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  # shellcheck disable=SC2086  # a target's words are its arguments
  run $target &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
for target in "${targets[@]}"; do
  cat "$corpus/${target%% *}.log"
done
exit "$failed"
