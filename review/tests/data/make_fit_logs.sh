#!/usr/bin/env bash
# Makes the simulated review logs of review/tests/fsrs_fit_test.cpp with
# quorvo-fsrs-simulate, then runs the published optimizer on them
# (fit_reference.mjs, which installs it from npm into a temporary folder)
# into fit_reference.tsv.
#
#   bash review/tests/data/make_fit_logs.sh [BIN]   (BIN: build/bin by default)
#
# The learners' true weights are the weight sets of fsrs_vectors.tsv.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../../build/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for set in default spread1 spread2; do
  grep -P "^@weights\t$set\t" "$here/fsrs_vectors.tsv" | cut -f3 > "$work/$set"
done
simulate() {
  local name=$1 set=$2
  shift 2
  "$bin/quorvo-fsrs-simulate" --weights "$work/$set" "$@" > "$here/$name"
}
simulate fit_log_default.tsv default --cards 600 --reviews 12000 --seed 11
simulate fit_log_spread1.tsv spread1 --cards 600 --reviews 12000 --seed 12
simulate fit_log_small.tsv spread2 --cards 80 --reviews 1200 --seed 13
cd "$here"
node fit_reference.mjs fit_log_default.tsv fit_log_spread1.tsv fit_log_small.tsv > fit_reference.tsv
