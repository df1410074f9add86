// Fitting the 21 FSRS-6 weights to a learner's review log of 100,000
// reviews of 5,000 cards (GroupReviewLog and FitWeights, as 统计's "优化参数"
// would run them on its worker), three times.
//
// The log is the file named by QUORVO_BENCH_FIT_LOG: bench/run.sh makes it
// with quorvo-fsrs-simulate (--cards 5000 --reviews 100000 --seed 7, the
// learner's true weights the set spread1 of review/tests/data/
// fsrs_vectors.tsv) and runs the published optimizer on the same file
// (review/tests/data/fit_reference.mjs, its figures in fit-reference.json).
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "review/fsrs_fit.h"
#include "review/fsrs_simulator.h"

namespace {

struct Log {
  std::vector<quorvo::LoggedReview> rows;
  int offset = 0;
  quorvo::FsrsWeights truth = quorvo::kDefaultFsrsWeights;
  std::string error;
};

Log MakeLog() {
  Log log;
  std::string path = quorvo::bench::EnvOr("QUORVO_BENCH_FIT_LOG", "");
  if (path.empty()) {
    log.error = "set QUORVO_BENCH_FIT_LOG to a review log (bench/run.sh makes one)";
    return log;
  }
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  bool hasTruth = false;
  if (!file || !quorvo::ParseReviewLogTsv(text.str(), &log.rows, &log.offset, &log.truth, &hasTruth, &log.error))
    log.error = path + ": " + (file ? log.error : "cannot be read");
  return log;
}

void BM_Fit_Quorvo(benchmark::State& state) {
  static const Log log = MakeLog();
  if (!log.error.empty()) {
    state.SkipWithError(log.error.c_str());
    return;
  }
  quorvo::FitResult fit;
  std::vector<quorvo::CardReviews> cards;
  for (auto _ : state) {
    cards = quorvo::GroupReviewLog(log.rows, log.offset);
    fit = quorvo::FitWeights(cards);
  }
  if (fit.status != quorvo::FitStatus::kFitted) {
    state.SkipWithError("the fit refused the log");
    return;
  }
  state.counters["rows"] = static_cast<double>(log.rows.size());
  state.counters["cards"] = static_cast<double>(cards.size());
  state.counters["predicted_reviews"] = fit.reviews;
  state.counters["log_loss"] = fit.after.logLoss;
  state.counters["rmse_bins"] = fit.after.rmseBins;
  state.counters["default_log_loss"] = fit.before.logLoss;
  state.counters["true_log_loss"] = quorvo::EvaluateWeights(log.truth, cards).logLoss;
}
BENCHMARK(BM_Fit_Quorvo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
