// The memory model against sequences worked out by hand from the FSRS-4.5
// formulas with its published default weights.
#include "review/fsrs.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvo {
namespace {

struct Step {
  double elapsedDays;  // since the previous review (ignored for the first)
  Grade grade;
  double stability;
  double difficulty;
  int interval;
};

struct Sequence {
  const char* name;
  std::vector<Step> steps;
};

TEST(Fsrs, ReviewSequencesGiveTheHandWorkedStabilitiesAndIntervals) {
  const Sequence sequences[] = {
      {"new card Good, Good, Good, each on its due day",
       {{0, Grade::Good, 3.7145, 5.1618, 4},
        {4, Grade::Good, 14.8081, 5.1237, 15},
        {15, Grade::Good, 49.6879, 5.0867, 50}}},
      {"Again, then Good the next day", {{0, Grade::Again, 0.4872, 7.6214, 1}, {1, Grade::Good, 2.4225, 7.5070, 2}}},
      {"a first Hard", {{0, Grade::Hard, 1.4003, 6.3916, 1}}},
      {"a first Easy", {{0, Grade::Easy, 13.8206, 3.9320, 14}}},
      {"Good, then Good 100 days later (recall probability 0.37)",
       {{0, Grade::Good, 3.7145, 5.1618, 4}, {100, Grade::Good, 91.5825, 5.1237, 92}}},
      {"Good, then Again 100 days later",
       {{0, Grade::Good, 3.7145, 5.1618, 4}, {100, Grade::Again, 3.2908, 6.8630, 3}}},
  };
  Fsrs fsrs;
  for (const auto& seq : sequences) {
    SCOPED_TRACE(seq.name);
    MemoryState state;
    for (size_t i = 0; i < seq.steps.size(); ++i) {
      SCOPED_TRACE(i);
      const Step& step = seq.steps[i];
      Scheduled next = fsrs.Review(i == 0, state, step.elapsedDays, step.grade);
      EXPECT_NEAR(step.stability, next.state.stability, 0.0001);
      EXPECT_NEAR(step.difficulty, next.state.difficulty, 0.0001);
      EXPECT_EQ(step.interval, next.intervalDays);
      state = next.state;
    }
  }
}

TEST(Fsrs, RetrievabilityIsCertainAtOnceAndNinetyPercentAtTheStability) {
  EXPECT_DOUBLE_EQ(1.0, Fsrs::Retrievability(0, 3.7145));
  EXPECT_NEAR(0.9, Fsrs::Retrievability(3.7145, 3.7145), 1e-12);
  EXPECT_NEAR(0.9, Fsrs::Retrievability(250, 250), 1e-12);
  // The interval is rounded up from the stability, so recall there is a
  // little below 0.9.
  EXPECT_NEAR(0.8935, Fsrs::Retrievability(4, 3.7145), 0.0001);
  EXPECT_DOUBLE_EQ(0.0, Fsrs::Retrievability(5, 0));
}

TEST(Fsrs, RepeatedGoodOnTheDueDayGrowsTheIntervalEveryTime) {
  Fsrs fsrs;
  Scheduled s = fsrs.Review(true, {}, 0, Grade::Good);
  int previous = s.intervalDays;
  int reviews = 1;
  while (previous < 36500 && reviews < 30) {
    s = fsrs.Review(false, s.state, previous, Grade::Good);
    ++reviews;
    EXPECT_GT(s.intervalDays, previous) << "review " << reviews;
    EXPECT_LE(s.intervalDays, 36500);
    previous = s.intervalDays;
  }
  // Capped at a hundred years, reached at the eleventh review.
  EXPECT_EQ(36500, previous);
  EXPECT_EQ(11, reviews);
  // The whole run, worked out from the formulas.
  const std::vector<int> expected{4, 15, 50, 149, 405, 1016, 2375, 5219, 10860, 21532, 36500};
  std::vector<int> got;
  Scheduled r = fsrs.Review(true, {}, 0, Grade::Good);
  got.push_back(r.intervalDays);
  while (got.size() < expected.size()) {
    r = fsrs.Review(false, r.state, got.back(), Grade::Good);
    got.push_back(r.intervalDays);
  }
  EXPECT_EQ(expected, got);
}

TEST(Fsrs, DifficultyStaysWithinOneAndTen) {
  Fsrs fsrs;
  MemoryState hard = fsrs.FirstReview(Grade::Again);
  MemoryState easy = fsrs.FirstReview(Grade::Easy);
  for (int i = 0; i < 40; ++i) {
    hard = fsrs.NextReview(hard, 1, Grade::Again);
    easy = fsrs.NextReview(easy, 30, Grade::Easy);
  }
  EXPECT_LE(hard.difficulty, 10.0);
  EXPECT_GT(hard.difficulty, 9.0);
  EXPECT_GE(easy.difficulty, 1.0);
  EXPECT_LT(easy.difficulty, 2.0);
  EXPECT_GE(hard.stability, 0.1);
}

TEST(Fsrs, FuzzKeepsLongIntervalsNearAndShortOnesExact) {
  struct Case {
    double stability;
    double random;
    int interval;
  };
  // 50 days: spread 1 + 0.15*4.5 + 0.1*13 + 0.05*30 = 4.475, so 46..54.
  const Case cases[] = {{50, 0.0, 46}, {50, 0.999, 54}, {50, 0.5, 50}, {2, 0.999, 2}, {0.4, 0.0, 1}};
  for (const auto& c : cases) {
    Fsrs fsrs;
    fsrs.SetFuzz([&] { return c.random; });
    EXPECT_EQ(c.interval, fsrs.IntervalDays(c.stability)) << c.stability << " " << c.random;
  }
}

}  // namespace
}  // namespace quorvo
