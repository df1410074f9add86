// The memory model behind 今日复习: FSRS-4.5 (the Free Spaced Repetition
// Scheduler, version 4.5) with its published 17 default weights and a
// desired retention of 0.9.
//
// Pure functions of a card's memory state (stability in days, difficulty
// 1..10) and the days since its last review; nothing here reads a clock or
// a database. Intervals are whole days, at least 1 and at most 36500. Fuzz
// spreads long intervals a little so that words learned together do not
// stay together; it is off unless a random source is given. Any thread.
#pragma once

#include <array>
#include <functional>

namespace quorvo {

enum class Grade { Again = 1, Hard = 2, Good = 3, Easy = 4 };

struct MemoryState {
  double stability = 0;   // days until recall drops to 90 %
  double difficulty = 0;  // 1 (easy) .. 10 (hard)
};

struct FsrsParameters {
  std::array<double, 17> w{0.4872, 1.4003, 3.7145, 13.8206, 5.1618, 1.2298, 0.8975, 0.031, 1.6474,
                           0.1367, 1.0461, 2.1072, 0.0793,  0.3246, 1.587,  0.2272, 2.8755};
  double desiredRetention = 0.9;
  int maximumInterval = 36500;
};

// The outcome of one review.
struct Scheduled {
  MemoryState state;
  int intervalDays = 0;
};

class Fsrs {
 public:
  explicit Fsrs(FsrsParameters parameters = {}) : p_(parameters) {}

  // Probability of recall after elapsedDays for a card of this stability.
  static double Retrievability(double elapsedDays, double stability);
  // The first review of a new card.
  MemoryState FirstReview(Grade grade) const;
  // A review of a card last seen elapsedDays ago.
  MemoryState NextReview(const MemoryState& state, double elapsedDays, Grade grade) const;
  // Days until recall falls to the desired retention, rounded, clamped to
  // 1..maximumInterval and fuzzed when a random source (values in [0,1)) is set.
  int IntervalDays(double stability) const;
  // FirstReview or NextReview (isNew picks), with the interval.
  Scheduled Review(bool isNew, const MemoryState& state, double elapsedDays, Grade grade) const;

  void SetFuzz(std::function<double()> random) { random_ = std::move(random); }
  const FsrsParameters& Parameters() const { return p_; }

 private:
  double InitialDifficulty(Grade grade) const;
  double NextDifficulty(double difficulty, Grade grade) const;
  double RecallStability(const MemoryState& state, double retrievability, Grade grade) const;
  double ForgetStability(const MemoryState& state, double retrievability) const;

  FsrsParameters p_;
  std::function<double()> random_;
};

}  // namespace quorvo
