// The memory model behind 今日复习: FSRS-6 (the Free Spaced Repetition
// Scheduler, version 6) with its 21 weights, the published defaults unless
// the learner's own fitted ones are given, and a desired retention of 0.9
// unless another is given.
//
// Pure functions of a card's memory state (stability in days, difficulty
// 1..10) and the whole days since its last review; nothing here reads a
// clock or a database. Cards scheduled by the older FSRS-4.5 model keep their
// stability and difficulty: both mean the same here. There are no learning
// steps: a card is in review from its first grade on, and a second review on
// the same day uses the short-term formula.
//
// Intervals are whole days, at least 1. A stability's own interval is at
// most maximumInterval; the interval of a Hard, Good or Easy review keeps
// Hard <= Good < Easy, as the published scheduler does, which can put Good
// and Easy one or two days past the maximum once the stability is at its
// cap. Fuzz spreads long intervals a little so that words learned together
// do not stay together; it is off unless a random source is given. Any
// thread (an Fsrs with fuzz only on the thread that owns the random source).
#pragma once

#include <array>
#include <functional>
#include <string>

namespace quorvo {

enum class Grade { Again = 1, Hard = 2, Good = 3, Easy = 4 };

struct MemoryState {
  double stability = 0;   // days until recall drops to 90 %
  double difficulty = 0;  // 1 (easy) .. 10 (hard)
};

inline constexpr int kFsrsWeightCount = 21;
using FsrsWeights = std::array<double, kFsrsWeightCount>;

// The published FSRS-6 default weights.
inline constexpr FsrsWeights kDefaultFsrsWeights{0.212,  1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194,
                                                 0.001,  1.8722, 0.1666, 0.796,  1.4835, 0.0614, 0.2629,
                                                 1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542};

struct WeightBounds {
  double low;
  double high;
};
// The published bounds of each weight (short-term reviews on, no
// relearning steps); a fit stays within them.
inline constexpr std::array<WeightBounds, kFsrsWeightCount> kFsrsWeightBounds{{
    {0.001, 100},  {0.001, 100}, {0.001, 100}, {0.001, 100}, {1, 10},    {0.001, 4},    {0.001, 4},
    {0.001, 0.75}, {0, 4.5},     {0, 0.8},     {0.001, 3.5}, {0.001, 5}, {0.001, 0.25}, {0.001, 0.9},
    {0, 4},        {0, 1},       {1, 6},       {0, 2},       {0, 2},     {0.01, 0.8},   {0.1, 0.8},
}};

inline constexpr double kDefaultDesiredRetention = 0.9;
inline constexpr double kMinDesiredRetention = 0.80;
inline constexpr double kMaxDesiredRetention = 0.97;

// Finite and within kFsrsWeightBounds.
bool ValidFsrsWeights(const FsrsWeights& w);
// The weights as text: 21 numbers separated by spaces, each exact (it reads
// back to the same double). Parse takes numbers separated by spaces, commas
// or line breaks, brackets allowed ("[0.212, 1.2931, ...]"); false unless
// there are exactly 21 and they are valid.
std::string FormatFsrsWeights(const FsrsWeights& w);
bool ParseFsrsWeights(const std::string& text, FsrsWeights* w);

struct FsrsParameters {
  FsrsWeights w = kDefaultFsrsWeights;
  double desiredRetention = kDefaultDesiredRetention;  // in (0, 1)
  int maximumInterval = 36500;
};

// The outcome of one review.
struct Scheduled {
  MemoryState state;
  int intervalDays = 0;
};

class Fsrs {
 public:
  explicit Fsrs(FsrsParameters parameters = {});

  // Probability of recall after elapsedDays for a card of this stability.
  double Retrievability(double elapsedDays, double stability) const;
  // The first review of a new card.
  MemoryState FirstReview(Grade grade) const;
  // A review of a card last seen elapsedDays (whole days; 0: the same day)
  // ago.
  MemoryState NextReview(const MemoryState& state, double elapsedDays, Grade grade) const;
  // Days until recall falls to the desired retention, rounded, clamped to
  // 1..maximumInterval and fuzzed when a random source (values in [0,1)) is set.
  int IntervalDays(double stability) const;
  // FirstReview or NextReview (isNew picks), with the interval; for a card
  // already seen, graded Hard, Good or Easy, the interval keeps
  // Hard <= Good < Easy among the three grades' intervals.
  Scheduled Review(bool isNew, const MemoryState& state, double elapsedDays, Grade grade) const;

  void SetFuzz(std::function<double()> random) { random_ = std::move(random); }
  // Other weights, retention or maximum; the fuzz stays as it was.
  void SetParameters(const FsrsParameters& parameters);
  const FsrsParameters& Parameters() const { return p_; }

 private:
  FsrsParameters p_;
  double factor_ = 0;            // of the forgetting curve
  double intervalModifier_ = 0;  // days per day of stability at the desired retention
  std::function<double()> random_;
};

}  // namespace quorvo
