// quorvo-fsrs-replay: replays review sequences through quorvo's scheduler,
// so that it can be held against another implementation.
//
//   quorvo-fsrs-replay [--weights FILE] [--retention R] < sequences
//
// Each input line is one card's reviews, GRADE:ELAPSED_DAYS pairs separated
// by spaces (grade 1 Again .. 4 Easy; whole days since the review before,
// 0 for the same day; the first pair's days are not used). Each output line
// answers one input line: for every review "stability difficulty interval",
// the reviews separated by tabs. FILE holds 21 weights (spaces, commas or
// brackets between them); without it the FSRS-6 defaults. R is the desired
// retention, 0 < R < 1 (default 0.9). A line that cannot be read gives an
// empty output line and a message on standard error, and the exit status
// is 1; the other lines are still answered.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "review/fsrs.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: quorvo-fsrs-replay [--weights FILE] [--retention R] < sequences\n");
  return 2;
}

// One line's reviews, or an error message.
bool Replay(const quorvo::Fsrs& fsrs, const std::string& line, std::string* out, std::string* error) {
  std::istringstream pairs(line);
  std::string pair;
  quorvo::MemoryState state;
  bool first = true;
  while (pairs >> pair) {
    int grade = 0, days = 0;
    size_t colon = pair.find(':');
    bool ok = colon != std::string::npos;
    if (ok) {
      const char* text = pair.c_str();
      auto g = std::from_chars(text, text + colon, grade);
      auto d = std::from_chars(text + colon + 1, text + pair.size(), days);
      ok = g.ec == std::errc() && g.ptr == text + colon && d.ec == std::errc() && d.ptr == text + pair.size() &&
           grade >= 1 && grade <= 4 && days >= 0;
    }
    if (!ok) {
      *error = "not GRADE:ELAPSED_DAYS (grade 1..4, days 0 or more): \"" + pair + "\"";
      return false;
    }
    quorvo::Scheduled next = fsrs.Review(first, state, first ? 0 : days, static_cast<quorvo::Grade>(grade));
    char text_out[96];
    std::snprintf(text_out, sizeof text_out, "%s%.8f %.8f %d", first ? "" : "\t", next.state.stability,
                  next.state.difficulty, next.intervalDays);
    *out += text_out;
    state = next.state;
    first = false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  quorvo::FsrsParameters parameters;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--weights") == 0 && i + 1 < argc) {
      std::ifstream file(argv[++i]);
      std::stringstream text;
      text << file.rdbuf();
      if (!file || !quorvo::ParseFsrsWeights(text.str(), &parameters.w)) {
        std::fprintf(stderr, "quorvo-fsrs-replay: %s: not 21 FSRS-6 weights within their bounds\n", argv[i]);
        return 2;
      }
    } else if (std::strcmp(argv[i], "--retention") == 0 && i + 1 < argc) {
      const char* r = argv[++i];
      auto [end, ec] = std::from_chars(r, r + std::strlen(r), parameters.desiredRetention);
      if (ec != std::errc() || *end != '\0' || !(parameters.desiredRetention > 0 && parameters.desiredRetention < 1)) {
        std::fprintf(stderr, "quorvo-fsrs-replay: the retention must be between 0 and 1, not %s\n", r);
        return 2;
      }
    } else {
      return Usage();
    }
  }
  quorvo::Fsrs fsrs(parameters);
  int status = 0;
  std::string line;
  for (int number = 1; std::getline(std::cin, line); ++number) {
    std::string out, error;
    if (!Replay(fsrs, line, &out, &error)) {
      std::fprintf(stderr, "quorvo-fsrs-replay: line %d: %s\n", number, error.c_str());
      out.clear();
      status = 1;
    }
    std::cout << out << '\n';
  }
  return status;
}
