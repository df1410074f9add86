// quorvo-fsrs-simulate: a simulated learner's review log (review/
// fsrs_simulator.h) as text on standard output, for the weight fit's test
// data and benchmark.
//
//   quorvo-fsrs-simulate [--cards N] [--reviews N] [--new-per-day N]
//                        [--seed S] [--weights FILE] > log.tsv
//
// FILE holds the learner's true 21 weights (default: the FSRS-6 defaults).
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "review/fsrs_simulator.h"

namespace {

template <typename Number>
bool Read(const char* text, Number* out) {
  auto [end, ec] = std::from_chars(text, text + std::strlen(text), *out);
  return ec == std::errc() && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  quorvo::SimulationOptions options;
  std::string command = "quorvo-fsrs-simulate";
  for (int i = 1; i < argc; ++i) {
    bool ok = i + 1 < argc;
    const char* name = argv[i];
    const char* value = ok ? argv[++i] : "";
    if (std::strcmp(name, "--cards") == 0) {
      ok = ok && Read(value, &options.cards) && options.cards > 0;
    } else if (std::strcmp(name, "--reviews") == 0) {
      ok = ok && Read(value, &options.reviews) && options.reviews > 0;
    } else if (std::strcmp(name, "--new-per-day") == 0) {
      ok = ok && Read(value, &options.newPerDay) && options.newPerDay > 0;
    } else if (std::strcmp(name, "--seed") == 0) {
      ok = ok && Read(value, &options.seed);
    } else if (std::strcmp(name, "--weights") == 0) {
      std::ifstream file(value);
      std::stringstream text;
      text << file.rdbuf();
      ok = ok && file && quorvo::ParseFsrsWeights(text.str(), &options.weights);
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr,
                   "usage: quorvo-fsrs-simulate [--cards N] [--reviews N] [--new-per-day N] [--seed S] "
                   "[--weights FILE]\n(%s %s: not understood)\n",
                   name, value);
      return 2;
    }
    command += std::string(" ") + name + " " + value;
  }
  std::vector<quorvo::LoggedReview> log = quorvo::SimulateReviewLog(options);
  std::cout << quorvo::FormatReviewLogTsv(log, options.utcOffsetSeconds, &options.weights,
                                          "simulated review log: " + command);
  return 0;
}
