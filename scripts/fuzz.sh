#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   bash scripts/fuzz.sh            # 20 seconds a target
#   FUZZ_SECONDS=600 bash scripts/fuzz.sh chunk_rules_fuzz   # one target, longer
# New inputs that libFuzzer finds go to build-fuzz/corpus/<target>; a crash,
# or an input that takes longer than FUZZ_TIMEOUT seconds (default 10: a
# hang), leaves its input in build-fuzz/crashes/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
SECONDS_EACH=${FUZZ_SECONDS:-20}
TIMEOUT=${FUZZ_TIMEOUT:-10}
BUILD=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DQUORVO_FUZZ=ON -DQUORVO_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target fuzzers
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=($(cd fuzz/corpus && ls))
fi
mkdir -p "$BUILD/crashes"
printf '%-28s %12s %8s\n' target executions seconds
for t in "${targets[@]}"; do
  mkdir -p "$BUILD/corpus/$t"
  log="$BUILD/$t.log"
  if ! "$BUILD/fuzz/$t" -max_total_time="$SECONDS_EACH" -timeout="$TIMEOUT" -artifact_prefix="$BUILD/crashes/$t-" \
      "$BUILD/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "$t: the fuzzer found a failure (input in $BUILD/crashes/)"
    exit 1
  fi
  runs=$(grep -oE 'Done [0-9]+ runs' "$log" | grep -oE '[0-9]+' || echo '?')
  printf '%-28s %12s %8s\n' "$t" "$runs" "$SECONDS_EACH"
done
