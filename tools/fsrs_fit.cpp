// quorvo-fsrs-fit: fits the 21 weights to a review log in the text form of
// review/fsrs_simulator.h and prints how well the defaults, the fitted
// weights and (when the file names them) the true weights predict it.
//
//   quorvo-fsrs-fit [--seed S] log.tsv
#include "review/fsrs_fit.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "review/fsrs_simulator.h"

int main(int argc, char** argv) {
  quorvo::FitOptions options;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      const char* s = argv[++i];
      auto [end, ec] = std::from_chars(s, s + std::strlen(s), options.seed);
      if (ec != std::errc() || *end != '\0') path = nullptr, i = argc;
    } else if (!path) {
      path = argv[i];
    } else {
      path = nullptr;
      break;
    }
  }
  if (!path) {
    std::fprintf(stderr, "usage: quorvo-fsrs-fit [--seed S] log.tsv\n");
    return 2;
  }
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  std::vector<quorvo::LoggedReview> rows;
  int offset = 0;
  quorvo::FsrsWeights truth{};
  bool hasTruth = false;
  std::string error;
  if (!file || !quorvo::ParseReviewLogTsv(text.str(), &rows, &offset, &truth, &hasTruth, &error)) {
    std::fprintf(stderr, "quorvo-fsrs-fit: %s: %s\n", path, file ? error.c_str() : "cannot be read");
    return 1;
  }
  auto started = std::chrono::steady_clock::now();
  std::vector<quorvo::CardReviews> cards = quorvo::GroupReviewLog(rows, offset);
  quorvo::FitResult fit = quorvo::FitWeights(cards, options);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (fit.status == quorvo::FitStatus::kTooFewReviews) {
    std::printf("%d reviews to learn from: %d more needed\n", fit.reviews, fit.reviewsNeeded);
    return 1;
  }
  std::printf("%zu rows, %zu cards, %d reviews to learn from; fitted in %.2f s\n", rows.size(), cards.size(),
              fit.reviews, seconds);
  auto show = [](const char* what, const quorvo::FitMetrics& m) {
    std::printf("%-8s log-loss %.6f  RMSE (bins) %.6f\n", what, m.logLoss, m.rmseBins);
  };
  show("default", fit.before);
  show("fitted", fit.after);
  if (hasTruth) show("true", quorvo::EvaluateWeights(truth, cards));
  std::printf("weights %s\n", quorvo::FormatFsrsWeights(fit.weights).c_str());
  return 0;
}
