#include "review/fsrs_simulator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

namespace quorvo {
namespace {

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // [0, 1)
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  // lo .. hi
  double Between(double lo, double hi) { return lo + (hi - lo) * Uniform(); }

 private:
  uint64_t state_;
};

struct Card {
  MemoryState state;
  bool seen = false;
  int lastDay = 0;
};

// When the learner comes back, given the interval: mostly on time.
int PlannedDays(Random& random, int interval) {
  double u = random.Uniform();
  double factor = u < 0.10   ? random.Between(0.4, 0.95)  // early
                  : u < 0.72 ? 1.0                        // on time
                  : u < 0.95 ? random.Between(1.05, 2)    // late
                             : random.Between(2, 8);      // very late
  return std::max(1, static_cast<int>(std::lround(interval * factor)));
}

Grade PassingGrade(Random& random) {
  double u = random.Uniform();
  return u < 0.15 ? Grade::Hard : u < 0.87 ? Grade::Good : Grade::Easy;
}

Grade FirstGrade(Random& random) {
  double u = random.Uniform();
  return u < 0.22 ? Grade::Again : u < 0.37 ? Grade::Hard : u < 0.85 ? Grade::Good : Grade::Easy;
}

}  // namespace

std::vector<LoggedReview> SimulateReviewLog(const SimulationOptions& options) {
  FsrsParameters parameters;
  parameters.w = options.weights;
  Fsrs fsrs(parameters);
  Random random(options.seed);
  std::vector<Card> cards(std::max(0, options.cards));
  std::map<int, std::vector<int>> planned;  // day -> cards planned for it, in order
  std::vector<LoggedReview> log;
  int introduced = 0;
  int awayUntil = -1;
  char word[24];

  for (int day = 0; day < options.maxDays && static_cast<int>(log.size()) < options.reviews; ++day) {
    if (day < awayUntil) continue;
    double u = random.Uniform();
    if (u < 0.015) {
      awayUntil = day + 5 + static_cast<int>(random.Between(0, 40));  // a holiday
      continue;
    }
    if (u < 0.10) continue;  // a day off

    // Today's cards: everything planned until today, then new ones.
    std::vector<int> today;
    while (!planned.empty() && planned.begin()->first <= day) {
      today.insert(today.end(), planned.begin()->second.begin(), planned.begin()->second.end());
      planned.erase(planned.begin());
    }
    for (int n = 0; n < options.newPerDay && introduced < options.cards; ++n) today.push_back(introduced++);

    int64_t at = (static_cast<int64_t>(options.firstDay) + day) * 86400 - options.utcOffsetSeconds + 8 * 3600;
    std::vector<int> again;  // failed today, to be seen once more
    auto review = [&](int index, bool sameDay) {
      Card& card = cards[index];
      Grade grade;
      if (!card.seen) {
        grade = FirstGrade(random);
      } else {
        double r = sameDay ? 0.9 : fsrs.Retrievability(day - card.lastDay, card.state.stability);
        grade = random.Uniform() < r ? PassingGrade(random) : Grade::Again;
      }
      Scheduled next = fsrs.Review(!card.seen, card.state, day - card.lastDay, grade);
      std::snprintf(word, sizeof word, "w%06d", index);
      log.push_back({word, options.bank, static_cast<int>(grade), at});
      at += 20;
      card.seen = true;
      card.state = next.state;
      card.lastDay = day;
      return std::pair(grade, next.intervalDays);
    };
    for (int index : today) {
      if (static_cast<int>(log.size()) >= options.reviews) break;
      auto [grade, interval] = review(index, false);
      if (grade == Grade::Again && random.Uniform() < 0.5) {
        again.push_back(index);
      } else {
        planned[day + PlannedDays(random, interval)].push_back(index);
      }
    }
    for (int index : again) {
      if (static_cast<int>(log.size()) >= options.reviews) break;
      auto [grade, interval] = review(index, true);
      planned[day + PlannedDays(random, interval)].push_back(index);
    }
  }
  return log;
}

std::string FormatReviewLogTsv(const std::vector<LoggedReview>& rows, int utcOffsetSeconds,
                               const FsrsWeights* trueWeights, const std::string& comment) {
  std::string text;
  if (!comment.empty()) text += "# " + comment + "\n";
  if (trueWeights) text += "#weights\t" + FormatFsrsWeights(*trueWeights) + "\n";
  text += "#utc_offset\t" + std::to_string(utcOffsetSeconds) + "\n";
  for (const auto& r : rows)
    text += r.word + "\t" + r.bank + "\t" + std::to_string(r.grade) + "\t" + std::to_string(r.reviewedAt) + "\n";
  return text;
}

bool ParseReviewLogTsv(const std::string& text, std::vector<LoggedReview>* rows, int* utcOffsetSeconds,
                       FsrsWeights* trueWeights, bool* hasTrueWeights, std::string* error) {
  rows->clear();
  *utcOffsetSeconds = 0;
  *hasTrueWeights = false;
  std::istringstream in(text);
  std::string line;
  auto number = [](const std::string& s, auto* out) {
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *out);
    return ec == std::errc() && end == s.data() + s.size();
  };
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.empty()) continue;
    size_t tab = line.find('\t');
    if (line.rfind("#weights\t", 0) == 0) {
      if (!ParseFsrsWeights(line.substr(tab + 1), trueWeights)) {
        *error = "line " + std::to_string(n) + ": not 21 valid weights";
        return false;
      }
      *hasTrueWeights = true;
      continue;
    }
    if (line.rfind("#utc_offset\t", 0) == 0) {
      if (!number(line.substr(tab + 1), utcOffsetSeconds)) {
        *error = "line " + std::to_string(n) + ": not an offset in seconds";
        return false;
      }
      continue;
    }
    if (line[0] == '#') continue;
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    LoggedReview r;
    if (f.size() != 4 || !number(f[2], &r.grade) || !number(f[3], &r.reviewedAt)) {
      *error = "line " + std::to_string(n) + ": not word, bank, grade and seconds";
      return false;
    }
    r.word = f[0];
    r.bank = f[1];
    rows->push_back(std::move(r));
  }
  return true;
}

}  // namespace quorvo
