#include "review/fsrs.h"

#include <algorithm>
#include <cmath>

namespace quorvo {
namespace {

// The forgetting curve R(t) = (1 + kFactor * t / S) ^ kDecay; kFactor makes
// R(S) = 0.9.
constexpr double kDecay = -0.5;
constexpr double kFactor = 19.0 / 81.0;

double ClampDifficulty(double d) { return std::clamp(d, 1.0, 10.0); }
int G(Grade grade) { return static_cast<int>(grade); }

}  // namespace

double Fsrs::Retrievability(double elapsedDays, double stability) {
  if (stability <= 0) return 0;
  return std::pow(1 + kFactor * std::max(0.0, elapsedDays) / stability, kDecay);
}

double Fsrs::InitialDifficulty(Grade grade) const { return ClampDifficulty(p_.w[4] - (G(grade) - 3) * p_.w[5]); }

MemoryState Fsrs::FirstReview(Grade grade) const {
  return {std::max(0.1, p_.w[G(grade) - 1]), InitialDifficulty(grade)};
}

double Fsrs::NextDifficulty(double difficulty, Grade grade) const {
  double moved = difficulty - p_.w[6] * (G(grade) - 3);
  // Mean reversion towards the difficulty of a first "Easy".
  double easyStart = p_.w[4] - p_.w[5];
  return ClampDifficulty(p_.w[7] * easyStart + (1 - p_.w[7]) * moved);
}

double Fsrs::RecallStability(const MemoryState& s, double r, Grade grade) const {
  double hardPenalty = grade == Grade::Hard ? p_.w[15] : 1.0;
  double easyBonus = grade == Grade::Easy ? p_.w[16] : 1.0;
  return s.stability * (1 + std::exp(p_.w[8]) * (11 - s.difficulty) * std::pow(s.stability, -p_.w[9]) *
                                (std::exp((1 - r) * p_.w[10]) - 1) * hardPenalty * easyBonus);
}

double Fsrs::ForgetStability(const MemoryState& s, double r) const {
  double after = p_.w[11] * std::pow(s.difficulty, -p_.w[12]) * (std::pow(s.stability + 1, p_.w[13]) - 1) *
                 std::exp((1 - r) * p_.w[14]);
  // A lapse never makes the memory stronger than it was.
  return std::min(after, s.stability);
}

MemoryState Fsrs::NextReview(const MemoryState& state, double elapsedDays, Grade grade) const {
  double r = Retrievability(elapsedDays, state.stability);
  MemoryState next;
  next.difficulty = NextDifficulty(state.difficulty, grade);
  next.stability = grade == Grade::Again ? ForgetStability(state, r) : RecallStability(state, r, grade);
  next.stability = std::max(0.1, next.stability);
  return next;
}

int Fsrs::IntervalDays(double stability) const {
  double days = stability / kFactor * (std::pow(p_.desiredRetention, 1 / kDecay) - 1);
  int interval = std::clamp(static_cast<int>(std::lround(days)), 1, p_.maximumInterval);
  if (!random_ || days < 2.5) return interval;
  // Spread: 15 % of the days between 2.5 and 7, 10 % up to 20, 5 % beyond.
  double delta = 1.0;
  delta += 0.15 * std::max(0.0, std::min(days, 7.0) - 2.5);
  delta += 0.10 * std::max(0.0, std::min(days, 20.0) - 7.0);
  delta += 0.05 * std::max(0.0, days - 20.0);
  int low = std::max(2, static_cast<int>(std::lround(days - delta)));
  int high = std::min(p_.maximumInterval, static_cast<int>(std::lround(days + delta)));
  int fuzzed = static_cast<int>(std::floor(random_() * (high - low + 1) + low));
  return std::clamp(fuzzed, 1, p_.maximumInterval);
}

Scheduled Fsrs::Review(bool isNew, const MemoryState& state, double elapsedDays, Grade grade) const {
  Scheduled out;
  out.state = isNew ? FirstReview(grade) : NextReview(state, elapsedDays, grade);
  out.intervalDays = IntervalDays(out.state.stability);
  return out;
}

}  // namespace quorvo
