#!/usr/bin/env bash
# Builds the tests with sanitizers and runs them:
#   build-asan  AddressSanitizer + UndefinedBehaviorSanitizer: every test;
#   build-tsan  ThreadSanitizer: the pool and lookup tests, the dictionary
#               service's tests and the window tests.
#   bash scripts/sanitize.sh            # both
#   bash scripts/sanitize.sh asan       # one of them
# Only the test programs (and what they start) are built. Suppressions, for
# what happens inside system libraries (fontconfig, Qt) only, are in
# scripts/sanitizers/. Any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
SUPPRESSIONS="$PWD/scripts/sanitizers"
JOBS=${JOBS:-2}
kinds=("$@")
if [ ${#kinds[@]} -eq 0 ]; then kinds=(asan tsan); fi

configure() {
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${@:2}" >/dev/null
}

run_asan() {
  configure build-asan -DQUORVO_ASAN=ON
  cmake --build build-asan -j "$JOBS" --target base_tests wordstore_tests lookup_tests lexicon_tests update_tests renova_tests \
    review_tests startup_tests widgets_tests wordapp_tests dictserver_tests
  # UBSan stops at the first finding (-fno-sanitize-recover in the build).
  ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1 \
  LSAN_OPTIONS="suppressions=$SUPPRESSIONS/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure --timeout 600 -j "$JOBS"
}

run_tsan() {
  configure build-tsan -DQUORVO_TSAN=ON
  cmake --build build-tsan -j "$JOBS" --target lookup_tests dictserver_tests wordapp_tests
  # exitcode: a report fails the program even when its tests passed.
  export TSAN_OPTIONS="suppressions=$SUPPRESSIONS/tsan.supp:exitcode=66:second_deadlock_stack=1"
  # The stop tests are left out here: they time how fast a separate program
  # ends on SIGTERM (ThreadSanitizer slows it past the limits), and that
  # program ends with its workers still running on purpose.
  # ServiceEndsWhenQuorvoDies plays a quorvo that dies: its forked child
  # ends with _exit and leaves its watcher thread unjoined on purpose.
  local -A filter=([lookup_tests]='*' [dictserver_tests]='-DictdLauncherTest.ServiceEndsWhenQuorvoDies'
                   [wordapp_tests]='-StopTest.*')
  for program in lookup_tests dictserver_tests wordapp_tests; do
    echo "== ThreadSanitizer: $program"
    (cd build-tsan && timeout 1200 "./bin/$program" --gtest_brief=1 --gtest_filter="${filter[$program]}")
  done
}

for kind in "${kinds[@]}"; do
  case "$kind" in
    asan) run_asan ;;
    tsan) run_tsan ;;
    *)
      echo "unknown sanitizer: $kind (asan or tsan)" >&2
      exit 2
      ;;
  esac
done
echo "sanitizers: ${kinds[*]} clean"
