// The scheduler's settings in a real word database: the learner's fitted
// weights and desired retention, stored in review_setting so that a file
// stays readable by older builds, the reviews scheduled with them, and the
// review log read back for a fit.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "review/review_store.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

constexpr int64_t kNow = 1796637600;  // 2026-12-07 10:00 UTC
constexpr int64_t kDay = 86400;

// The weight set "spread1" of data/fsrs_vectors.tsv.
constexpr FsrsWeights kSpread1{0.1369, 1.7768, 2.4217, 9.8488, 5.5805, 1.051,  3.3538, 0.0017, 1.3518, 0.1004, 0.694,
                               2.1113, 0.0539, 0.4125, 1.6013, 0.3766, 1.1059, 0.4915, 0.0518, 0.0457, 0.2108};

class ReviewSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(dir.File("dict_main.db")));
    testing::CreateBanks(db, {kMainWord, kMainRemember});
  }
  std::string Query(const std::string& sql) {
    std::string value = "(none)";
    db.QueryRows(sql, [&](int, const RowView& row) { value = row.Text(0) ? row.Text(0) : "(null)"; });
    return value;
  }

  testing::TempDir dir;
  WordDatabase db;
  ReviewStore store{db, 0};
};

TEST_F(ReviewSettingsTest, StoredWeightsAndRetentionScheduleTheReviewsAndAnOlderReaderSeesItsOwnKeyOnly) {
  // Nothing stored, not even the tables: the published defaults.
  bool found = true;
  FsrsWeights w{};
  EXPECT_TRUE(store.FittedWeights(&w, &found).ok());
  EXPECT_FALSE(found);
  EXPECT_EQ(kDefaultDesiredRetention, store.DesiredRetention());
  EXPECT_EQ(kDefaultFsrsWeights, store.CurrentScheduler().Parameters().w);

  ASSERT_TRUE(store.SetFittedWeights(kSpread1).ok());
  ASSERT_TRUE(store.SetDesiredRetention(0.85).ok());
  ASSERT_TRUE(store.FittedWeights(&w, &found).ok());
  EXPECT_TRUE(found);
  EXPECT_EQ(kSpread1, w);
  EXPECT_DOUBLE_EQ(0.85, store.DesiredRetention());
  // Text in the integer column, and the retention as an integer.
  EXPECT_EQ("text", Query("select typeof(value) from review_setting where key = 'fsrs_weights'"));
  EXPECT_EQ("850", Query("select value from review_setting where key = 'retention_permille'"));
  // What an older build reads is untouched.
  EXPECT_EQ("(none)", Query("select value from review_setting where key = 'new_per_day'"));
  EXPECT_EQ(kDefaultNewCardsPerDay, store.NewCardsPerDay());
  ASSERT_TRUE(store.SetNewCardsPerDay(7).ok());
  EXPECT_EQ(7, store.NewCardsPerDay());
  EXPECT_EQ(kSpread1, store.CurrentScheduler().Parameters().w);

  // The reference's "random 0664" (spread1, retention 0.85): Good, then
  // Again after 4 and 3 days, Hard after 2, Easy after 3.
  struct Step {
    Grade grade;
    int days;
    double stability;
    int interval;
  };
  const Step steps[] = {{Grade::Good, 0, 2.4217, 4},
                        {Grade::Again, 4, 1.75269414, 3},
                        {Grade::Again, 3, 1.23837482, 2},
                        {Grade::Hard, 2, 1.5337959, 3},
                        {Grade::Easy, 3, 2.58994537, 5}};
  int64_t at = kNow;
  for (const auto& step : steps) {
    at += step.days * kDay;
    ReviewOutcome outcome;
    ASSERT_TRUE(store.RecordReview(kMainRemember, "alpha", step.grade, at, &outcome).ok());
    EXPECT_NEAR(step.stability, outcome.card.state.stability, 1e-4);
    EXPECT_EQ(step.interval, outcome.intervalDays);
  }

  // The log a fit reads gives the same card back.
  std::vector<LoggedReview> rows;
  ASSERT_TRUE(store.LoadReviewLog(&rows).ok());
  std::vector<CardReviews> cards = GroupReviewLog(rows, store.UtcOffset());
  ASSERT_EQ(1u, cards.size());
  ASSERT_EQ(std::size(steps), cards[0].reviews.size());
  for (size_t i = 0; i < std::size(steps); ++i) {
    EXPECT_EQ(static_cast<int>(steps[i].grade), cards[0].reviews[i].grade);
    EXPECT_EQ(steps[i].days, cards[0].reviews[i].elapsedDays);
  }

  // Back to the defaults.
  ASSERT_TRUE(store.ClearFittedWeights().ok());
  ASSERT_TRUE(store.FittedWeights(&w, &found).ok());
  EXPECT_FALSE(found);
  EXPECT_EQ(kDefaultFsrsWeights, store.CurrentScheduler().Parameters().w);
  EXPECT_DOUBLE_EQ(0.85, store.CurrentScheduler().Parameters().desiredRetention);
}

TEST_F(ReviewSettingsTest, ValuesOutOfRangeAreRefusedAndDamagedOnesCountAsAbsent) {
  FsrsWeights tooLarge = kDefaultFsrsWeights;
  tooLarge[7] = 0.9;  // mean reversion may be at most 0.75
  FsrsWeights notANumber = kDefaultFsrsWeights;
  notANumber[0] = std::nan("");
  EXPECT_EQ(StatusCode::kRefused, store.SetFittedWeights(tooLarge).code());
  EXPECT_EQ(StatusCode::kRefused, store.SetFittedWeights(notANumber).code());
  for (double r : {0.79, 0.975, 1.0, 0.0, -0.9, std::nan("")})
    EXPECT_EQ(StatusCode::kRefused, store.SetDesiredRetention(r).code()) << r;
  for (double r : {0.80, 0.9, 0.97}) EXPECT_TRUE(store.SetDesiredRetention(r).ok()) << r;

  struct Damage {
    const char* key;
    const char* value;
  };
  const Damage damaged[] = {
      {"fsrs_weights", "'0.212 1.2931 2.3065'"},  // too few
      {"fsrs_weights", "'garbage'"},
      {"fsrs_weights", "42"},
      {"fsrs_weights",
       "'0.212 1.2931 2.3065 8.2956 6.4133 0.8334 3.0194 0.001 1.8722 0.1666 0.796 1.4835 0.0614 "
       "0.2629 1.6483 0.6014 1.8729 0.5425 0.0912 0.0658 9'"},  // decay out of bounds
      {"retention_permille", "1200"},
      {"retention_permille", "'high'"},
  };
  for (const auto& d : damaged) {
    SCOPED_TRACE(d.value);
    ASSERT_EQ(SQLITE_OK, db.Execute(std::string("insert or replace into review_setting (key, value) values ('") +
                                    d.key + "', " + d.value + ")"));
    bool found = true;
    FsrsWeights w{};
    EXPECT_TRUE(store.FittedWeights(&w, &found).ok());
    EXPECT_FALSE(found);
    Fsrs scheduler = store.CurrentScheduler();
    EXPECT_EQ(kDefaultFsrsWeights, scheduler.Parameters().w);
    if (std::string(d.key) == "retention_permille") {
      EXPECT_EQ(kDefaultDesiredRetention, store.DesiredRetention());
      EXPECT_EQ(kDefaultDesiredRetention, scheduler.Parameters().desiredRetention);
    }
  }
}

}  // namespace
}  // namespace quorvo
