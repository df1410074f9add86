#include "review/fsrs.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "review/fsrs_model.h"

namespace quorvo {
namespace {

int G(Grade grade) { return static_cast<int>(grade); }

}  // namespace

bool ValidFsrsWeights(const FsrsWeights& w) {
  for (int i = 0; i < kFsrsWeightCount; ++i)
    if (!std::isfinite(w[i]) || w[i] < kFsrsWeightBounds[i].low || w[i] > kFsrsWeightBounds[i].high) return false;
  return true;
}

// Text both ways through <charconv>: exact, and blind to the C locale
// (which the window's toolkit sets from the environment).
std::string FormatFsrsWeights(const FsrsWeights& w) {
  std::string text;
  for (double x : w) {
    char number[32];
    auto [end, ec] = std::to_chars(number, number + sizeof number, x);
    if (!text.empty()) text += ' ';
    text.append(number, ec == std::errc() ? end : number);
  }
  return text;
}

bool ParseFsrsWeights(const std::string& text, FsrsWeights* w) {
  FsrsWeights parsed{};
  int n = 0;
  const char* p = text.data();
  const char* end = p + text.size();
  auto separator = [](char c) {
    return c == ' ' || c == ',' || c == '[' || c == ']' || c == '\t' || c == '\n' || c == '\r';
  };
  while (true) {
    while (p < end && separator(*p)) ++p;
    if (p == end) break;
    if (n == kFsrsWeightCount) return false;
    auto [next, ec] = std::from_chars(p, end, parsed[n]);
    if (ec != std::errc() || (next < end && !separator(*next))) return false;
    ++n;
    p = next;
  }
  if (n != kFsrsWeightCount || !ValidFsrsWeights(parsed)) return false;
  *w = parsed;
  return true;
}

Fsrs::Fsrs(FsrsParameters parameters) { SetParameters(parameters); }

void Fsrs::SetParameters(const FsrsParameters& parameters) {
  p_ = parameters;
  double decay = p_.w[20];
  factor_ = std::exp(-std::log(0.9) / decay) - 1;
  intervalModifier_ = (std::pow(p_.desiredRetention, -1 / decay) - 1) / factor_;
}

double Fsrs::Retrievability(double elapsedDays, double stability) const {
  if (stability <= 0) return 0;
  return std::pow(1 + factor_ * std::max(0.0, elapsedDays) / stability, -p_.w[20]);
}

MemoryState Fsrs::FirstReview(Grade grade) const {
  fsrs_model::Constants<double> c(p_.w.data());
  MemoryState out;
  fsrs_model::FirstReview(c, G(grade), &out.stability, &out.difficulty);
  return out;
}

MemoryState Fsrs::NextReview(const MemoryState& state, double elapsedDays, Grade grade) const {
  fsrs_model::Constants<double> c(p_.w.data());
  MemoryState out = state;
  fsrs_model::NextReview(c, std::max(0.0, std::floor(elapsedDays)), G(grade), &out.stability, &out.difficulty);
  return out;
}

int Fsrs::IntervalDays(double stability) const {
  double days = stability * intervalModifier_;
  int interval = std::clamp(static_cast<int>(std::lround(std::min(days, 1e9))), 1, p_.maximumInterval);
  if (!random_ || interval < 2.5) return interval;
  double base = interval;
  // Spread: 15 % of the days between 2.5 and 7, 10 % up to 20, 5 % beyond.
  double delta = 1.0;
  delta += 0.15 * std::max(0.0, std::min(base, 7.0) - 2.5);
  delta += 0.10 * std::max(0.0, std::min(base, 20.0) - 7.0);
  delta += 0.05 * std::max(0.0, base - 20.0);
  int low = std::max(2, static_cast<int>(std::lround(base - delta)));
  int high = std::min(p_.maximumInterval, static_cast<int>(std::lround(base + delta)));
  int fuzzed = static_cast<int>(std::floor(random_() * (high - low + 1) + low));
  return std::clamp(fuzzed, 1, p_.maximumInterval);
}

Scheduled Fsrs::Review(bool isNew, const MemoryState& state, double elapsedDays, Grade grade) const {
  Scheduled out;
  if (isNew) {
    out.state = FirstReview(grade);
    out.intervalDays = IntervalDays(out.state.stability);
    return out;
  }
  out.state = NextReview(state, elapsedDays, grade);
  if (grade == Grade::Again) {
    out.intervalDays = IntervalDays(out.state.stability);
    return out;
  }
  // The three passing grades' intervals, kept in order.
  int hard = IntervalDays(NextReview(state, elapsedDays, Grade::Hard).stability);
  int good = IntervalDays(NextReview(state, elapsedDays, Grade::Good).stability);
  int easy = IntervalDays(NextReview(state, elapsedDays, Grade::Easy).stability);
  hard = std::min(hard, good);
  good = std::max(good, hard + 1);
  easy = std::max(easy, good + 1);
  out.intervalDays = grade == Grade::Hard ? hard : grade == Grade::Good ? good : easy;
  return out;
}

}  // namespace quorvo
