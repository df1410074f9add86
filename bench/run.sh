#!/usr/bin/env bash
# Builds the benchmarks in Release, makes their inputs, runs every job side
# by side with its peer and prints one table (job, ours, peer, ratio,
# target, pass/fail).
#
#   bash bench/run.sh
#
# Build folder: build-bench/ (BENCH_BUILD_DIR). Outputs: bench-out/
# (BENCH_OUT): the corpus, each program's console output and JSON, and the
# table as table.md.
#
# Inputs, the same on every run:
#   - the corpus: /usr/share/common-licenses/* (sorted by name) followed by
#     every English man page (/usr/share/man/man*/*.gz, sorted by path,
#     uncompressed), repeated until it reaches 100 MiB and cut there; its
#     sha256 is printed with the table (the man pages differ between
#     machines);
#   - word lists, banks, the 200 MiB download and the signed 200 MiB update
#     (four 50 MiB files, signed by a key made for the run): made by the
#     programs from fixed seeds (bench/bench_support.h, SeededRandom and
#     DistinctWords);
#   - the review log of the weight fit: 100,000 reviews of 5,000 cards by a
#     simulated learner (quorvo-fsrs-simulate, seed 7, true weights spread1
#     of review/tests/data/fsrs_vectors.tsv), which the published optimizer
#     (review/tests/data/fit_reference.mjs, node) fits too.
#
# The bench build configures no dictionary host: the start-up row measures
# quorvo starting its own service on a port the kernel picks.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${BENCH_BUILD_DIR:-$ROOT/build-bench}
OUT=${BENCH_OUT:-$ROOT/bench-out}
CORPUS_BYTES=$((100 * 1024 * 1024))
PROGRAMS=(quorvo_bench_count_words quorvo_bench_show_words quorvo_bench_batch quorvo_bench_lookups
          quorvo_bench_download quorvo_bench_startup quorvo_bench_export quorvo_bench_add_text
          quorvo_bench_review quorvo_bench_lexicon quorvo_bench_fit quorvo_bench_decks)

bash scripts/deps.sh
mkdir -p "$OUT"

echo "== Building the benchmarks (Release) in $BUILD"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVO_BUILD_TESTS=ON \
  -DQUORVO_DICT_HOST= >/dev/null
cmake --build "$BUILD" --parallel 2 --target "${PROGRAMS[@]}" quorvo-fsrs-simulate

echo "== Making the corpus ($CORPUS_BYTES bytes)"
corpus_once() {
  find /usr/share/common-licenses -maxdepth 1 -type f -print0 2>/dev/null | LC_ALL=C sort -z | xargs -0r cat
  find /usr/share/man -path '/usr/share/man/man*' -name '*.gz' -print0 2>/dev/null | LC_ALL=C sort -z |
    xargs -0r zcat -f 2>/dev/null || true
}
corpus_once > "$OUT/corpus-once.txt"
if [ ! -s "$OUT/corpus-once.txt" ]; then
  echo "no text found under /usr/share/common-licenses or /usr/share/man" >&2
  exit 1
fi
# `yes` repeats the file's name; cat reads it over and over; head cuts.
yes "$OUT/corpus-once.txt" | xargs cat 2>/dev/null | head -c "$CORPUS_BYTES" > "$OUT/corpus.txt" || true
rm -f "$OUT/corpus-once.txt"
if [ "$(stat -c %s "$OUT/corpus.txt")" -ne "$CORPUS_BYTES" ]; then
  echo "the corpus came out short" >&2
  exit 1
fi
CORPUS_SHA=$(sha256sum "$OUT/corpus.txt" | cut -d' ' -f1)

echo "== The weight fit's log, and the published optimizer on it"
# The learner's true weights: the set spread1 of the scheduler's reference data.
grep -P '^@weights\tspread1\t' review/tests/data/fsrs_vectors.tsv | cut -f3 > "$OUT/fit-weights.txt"
"$BUILD/bin/quorvo-fsrs-simulate" --cards 5000 --reviews 100000 --seed 7 --weights "$OUT/fit-weights.txt" \
  > "$OUT/fit-log.tsv"
# The reference installs its pinned npm packages once into the bench build;
# without node or the packages the row shows no peer.
rm -f "$OUT/fit-reference.json"
if command -v node > /dev/null &&
   QUORVO_FSRS_REFERENCE_DIR="$BUILD/fsrs-reference" \
     node review/tests/data/fit_reference.mjs --json "$OUT/fit-log.tsv" > "$OUT/fit-reference.json.part"; then
  mv "$OUT/fit-reference.json.part" "$OUT/fit-reference.json"
else
  rm -f "$OUT/fit-reference.json.part"
  echo "the published optimizer could not run (node or its npm packages missing); no peer for the fit" >&2
fi

LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
for program in "${PROGRAMS[@]}"; do
  echo "== $program"
  QUORVO_BENCH_CORPUS="$OUT/corpus.txt" QUORVO_BENCH_FIT_LOG="$OUT/fit-log.tsv" "$BUILD/bin/$program" \
    --benchmark_out="$OUT/$program.json" --benchmark_out_format=json | tee "$OUT/$program.txt"
done
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

python3 bench/report.py "$OUT" --corpus-sha256 "$CORPUS_SHA" --load "$LOAD_BEFORE" "$LOAD_AFTER" \
  --commit "$(git rev-parse --short HEAD 2>/dev/null || echo unknown)" | tee "$OUT/table.md"
