// The review history in a real word database: its tables, stored reviews, a
// file held by another connection, the due cards and the chart series.
#include "review/review_store.h"

#include <gtest/gtest.h>

#include "base/message_boxes.h"
#include "review/review_queue.h"
#include "review/review_stats.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

using testing::CreateBanks;
using testing::PutWord;
using testing::ReadBank;
using testing::TableNames;

// 2026-12-07 10:00 UTC is day 20794.
constexpr int64_t kNow = 1796637600;
constexpr int kToday = 20794;
constexpr int64_t kDay = 86400;

class ReviewStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(Path()));
    CreateBanks(db, {kMainWord, kMainRemember});
  }
  std::string Path() const { return dir.File("dict_main.db"); }
  int Count(const std::string& sql) {
    int n = -1;
    db.QueryRows(sql, [&](int, const RowView& row) { n = std::atoi(row.Text(0)); });
    return n;
  }

  testing::TempDir dir;
  WordDatabase db;
  ReviewStore store{db, 0};
};

TEST_F(ReviewStoreTest, DayNumbersFollowTheLocalCalendar) {
  EXPECT_EQ(kToday, LocalDay(kNow, 0));
  EXPECT_EQ(kToday, LocalDay(kToday * kDay, 0));
  EXPECT_EQ(kToday - 1, LocalDay(kToday * kDay - 1, 0));
  // Beijing is eight hours ahead: 17:00 UTC is already the next day there.
  EXPECT_EQ(kToday + 1, LocalDay(kToday * kDay + 17 * 3600, 8 * 3600));
  EXPECT_EQ(-1, LocalDay(-1, 0));
}

TEST_F(ReviewStoreTest, AFileMadeBeforeReviewsKeepsItsTablesAndRowsAndGainsTheReviewTables) {
  PutWord(db, kMainRemember, "alpha", "甲", 3);
  PutWord(db, kMainWord, "beta", "乙", 5, 1);
  auto remembered = ReadBank(Path(), kMainRemember);
  auto words = ReadBank(Path(), kMainWord);
  EXPECT_FALSE(*store.HasTables());
  // Reading the charts of such a file makes no tables.
  StatsSeries stats;
  EXPECT_TRUE(LoadStats(store, {kMainWord, kMainRemember}, kNow, &stats).ok());
  EXPECT_EQ((std::vector<std::string>{"main_remember", "main_word"}), TableNames(Path()));

  ASSERT_TRUE(store.RecordReview(kMainRemember, "alpha", Grade::Good, kNow, nullptr).ok());
  EXPECT_TRUE(*store.HasTables());
  EXPECT_EQ((std::vector<std::string>{"known_log", "main_remember", "main_word", "review_card", "review_log",
                                      "review_setting"}),
            TableNames(Path()));
  ASSERT_EQ(remembered.size(), ReadBank(Path(), kMainRemember).size());
  EXPECT_EQ(remembered[0].known, ReadBank(Path(), kMainRemember)[0].known);
  EXPECT_EQ(words[0].trans, ReadBank(Path(), kMainWord)[0].trans);
  // The bank list is what it was: the review tables are not banks.
  EXPECT_EQ((std::vector<std::string>{"main_word"}), ListBanks(db));
}

TEST_F(ReviewStoreTest, ReviewsAreStoredWithTheirScheduleAndLog) {
  ReviewOutcome first;
  ASSERT_TRUE(store.RecordReview(kMainRemember, "alpha", Grade::Good, kNow, &first).ok());
  // A first Good: 2 days (the reference's, data/fsrs_vectors.tsv).
  EXPECT_EQ(2, first.intervalDays);
  EXPECT_EQ(kToday + 2, first.card.due);
  ReviewOutcome second;
  ASSERT_TRUE(store.RecordReview(kMainRemember, "alpha", Grade::Again, kNow + 4 * kDay, &second).ok());
  EXPECT_EQ(2, second.card.reps);
  EXPECT_EQ(1, second.card.lapses);
  EXPECT_EQ(kToday, second.card.introduced);

  std::vector<ReviewCard> cards;
  ASSERT_TRUE(store.LoadCards(kMainRemember, &cards).ok());
  ASSERT_EQ(1u, cards.size());
  EXPECT_EQ(kToday + 4, cards[0].lastReview);
  EXPECT_EQ(second.card.due, cards[0].due);
  EXPECT_NEAR(second.card.state.stability, cards[0].state.stability, 1e-9);
  EXPECT_EQ(2, Count("select count(*) from review_log where word = 'alpha' and bank = 'main_remember'"));
  EXPECT_EQ(
      1, Count("select count(*) from review_log where grade = 1 and reviewed_at = " + std::to_string(kNow + 4 * kDay)));
  // Another bank's card of the same word is a card of its own.
  ASSERT_TRUE(store.LoadCards(kMainWord, &cards).ok());
  EXPECT_TRUE(cards.empty());
}

TEST_F(ReviewStoreTest, AnIntervalBeyondNinetyDaysMarksTheWordKnownOnceAndLogsIt) {
  PutWord(db, kMainRemember, "alpha", "甲", 3);
  PutWord(db, kMainRemember, "gamma", "丙", 3);
  ReviewOutcome outcome;
  // Good on each due day: intervals 2, 11, 46, then 163 (the reference's,
  // data/fsrs_vectors.tsv); only the last passes 90 days.
  int day = 0;
  for (int interval : {2, 11, 46}) {
    ASSERT_TRUE(store.RecordReview(kMainRemember, "alpha", Grade::Good, kNow + day * kDay, &outcome).ok());
    EXPECT_EQ(interval, outcome.intervalDays);
    EXPECT_FALSE(outcome.markedKnown);
    day += interval;
  }
  ASSERT_TRUE(store.RecordReview(kMainRemember, "alpha", Grade::Good, kNow + day * kDay, &outcome).ok());
  EXPECT_EQ(163, outcome.intervalDays);
  EXPECT_TRUE(outcome.markedKnown);
  auto rows = ReadBank(Path(), kMainRemember);
  EXPECT_EQ("1", rows[0].known);
  EXPECT_EQ("0", rows[1].known);
  EXPECT_EQ(1, Count("select count(*) from known_log where word = 'alpha' and known = 1 and source = 'review'"));
  // Already known: no second log line.
  ASSERT_TRUE(store.RecordReview(kMainRemember, "alpha", Grade::Good, kNow + (day + 163) * kDay, &outcome).ok());
  EXPECT_FALSE(outcome.markedKnown);
  EXPECT_EQ(1, Count("select count(*) from known_log"));
}

TEST_F(ReviewStoreTest, ALockedFileRefusesTheReviewWholeAndTakesItLater) {
  ASSERT_TRUE(store.EnsureTables().ok());
  sqlite3_busy_timeout(db.handle(), 50);
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(Path().c_str(), &other));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));

  EXPECT_EQ(StatusCode::kBusy, store.RecordReview(kMainRemember, "alpha", Grade::Good, kNow, nullptr).code());
  EXPECT_EQ(StatusCode::kBusy, store.LogKnownChanges(kMainWord, {"beta"}, true, kNow).code());

  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  // Nothing half-written, and the connection is not left in a transaction.
  EXPECT_EQ(0, Count("select count(*) from review_log"));
  EXPECT_EQ(0, Count("select count(*) from review_card"));
  EXPECT_TRUE(sqlite3_get_autocommit(db.handle()));
  ASSERT_TRUE(store.RecordReview(kMainRemember, "alpha", Grade::Good, kNow, nullptr).ok());
  EXPECT_EQ(1, Count("select count(*) from review_log"));
}

TEST_F(ReviewStoreTest, MarkingKnownByHandLogsOnlyWordsThatWereNotKnown) {
  PutWord(db, kMainWord, "apple", "苹果", 9);
  PutWord(db, kMainWord, "date", "枣", 3, 1);
  PutWord(db, kMainWord, "egg", "蛋", 1);
  ASSERT_TRUE(store.MarkKnownAndLog(kMainWord, {"apple", "date", "nosuch"}, kNow).ok());
  auto rows = ReadBank(Path(), kMainWord);
  EXPECT_EQ("1", rows[0].known);  // apple
  EXPECT_EQ("1", rows[1].known);  // date
  EXPECT_EQ("0", rows[2].known);  // egg
  EXPECT_EQ(1, Count("select count(*) from known_log"));
  EXPECT_EQ(1, Count("select count(*) from known_log where word = 'apple' and bank = 'main_word' and known = 1 "
                     "and source = 'hand'"));
  // Nothing new to log: no tables are needed either.
  testing::TempDir other;
  WordDatabase plain;
  ASSERT_TRUE(plain.Open(other.File("dict_main.db")));
  CreateBanks(plain, {kMainWord});
  PutWord(plain, kMainWord, "fig", "无花果", 2, 1);
  ASSERT_TRUE(ReviewStore(plain, 0).MarkKnownAndLog(kMainWord, {"fig"}, kNow).ok());
  EXPECT_EQ((std::vector<std::string>{"main_word"}), TableNames(other.File("dict_main.db")));
}

// A word ticked twice becomes known once; a batch whose commit cannot be
// made (another connection reading the file) keeps neither the flags nor
// their log.
// Many words at once go into the log many to a statement: every one of
// them, each once, whatever the count's remainder.
TEST_F(ReviewStoreTest, AThousandWordsMarkedAreAThousandLogLines) {
  std::vector<std::string> words;
  ASSERT_TRUE(db.BeginBatch().ok());
  for (int i = 0; i < 1003; ++i) {
    words.push_back("w" + std::to_string(i));
    PutWord(db, kMainWord, words.back(), "x", 1);
  }
  ASSERT_TRUE(db.CommitBatch().ok());
  ASSERT_TRUE(store.MarkKnownAndLog(kMainWord, words, kNow).ok());
  EXPECT_EQ(1003, Count("select count(distinct word) from known_log where bank = 'main_word' and known = 1 and "
                        "source = 'hand' and changed_at = " +
                        std::to_string(kNow)));
  EXPECT_EQ(1003, Count("select count(*) from known_log"));
  EXPECT_EQ(1, Count("select count(*) from known_log where word = 'w1002'"));
}

TEST_F(ReviewStoreTest, MarkingKnownLogsEachChangeOnceAndOnlyWithItsCommit) {
  PutWord(db, kMainWord, "apple", "苹果", 9);
  PutWord(db, kMainWord, "egg", "蛋", 1);
  ASSERT_TRUE(store.MarkKnownAndLog(kMainWord, {"apple", "apple"}, kNow).ok());
  EXPECT_EQ(1, Count("select count(*) from known_log where word = 'apple'"));

  db.SetBusyTimeout(50);
  sqlite3* reader = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(Path().c_str(), &reader));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM main_word;", nullptr, nullptr, nullptr));
  EXPECT_EQ(StatusCode::kBusy, store.MarkKnownAndLog(kMainWord, {"egg"}, kNow).code());
  sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(reader);
  EXPECT_EQ(0, Count("select count(*) from known_log where word = 'egg'"));
  EXPECT_EQ(0, Count("select count(*) from main_word where value = 'egg' and known = 1"));
  EXPECT_TRUE(sqlite3_get_autocommit(db.handle()));

  // Taken later, as a whole.
  ASSERT_TRUE(store.MarkKnownAndLog(kMainWord, {"egg"}, kNow).ok());
  EXPECT_EQ(1, Count("select count(*) from known_log where word = 'egg'"));
  EXPECT_EQ(1, Count("select count(*) from main_word where value = 'egg' and known = 1"));
}

TEST_F(ReviewStoreTest, NewCardsPerDayIsASettingOfTheFile) {
  EXPECT_EQ(20, store.NewCardsPerDay());
  ASSERT_TRUE(store.SetNewCardsPerDay(5).ok());
  ReviewStore again(db, 0);
  EXPECT_EQ(5, again.NewCardsPerDay());
}

TEST(ChooseDueCards, OverdueFirstThenNewWordsUpToTheDailyLimit) {
  auto card = [](std::string word, int due, int introduced) {
    ReviewCard c;
    c.word = std::move(word);
    c.due = due;
    c.introduced = introduced;
    return c;
  };
  const std::vector<std::string> list{"a1", "b2", "", "c3", "d4", "e5", "f6", "g7"};
  const std::vector<ReviewCard> cards{card("b2", kToday, kToday - 9), card("d4", kToday - 3, kToday - 9),
                                      card("f6", kToday + 1, kToday), card("g7", kToday - 3, kToday - 9),
                                      card("zz", kToday - 50, kToday - 60)};
  struct Case {
    int newPerDay;
    std::vector<std::string> words;
  };
  // f6 was started today, so it takes one of the day's new words.
  const Case cases[] = {{20, {"d4", "g7", "b2", "a1", "c3", "e5"}},
                        {3, {"d4", "g7", "b2", "a1", "c3"}},
                        {1, {"d4", "g7", "b2"}},
                        {0, {"d4", "g7", "b2"}}};
  for (const auto& c : cases) {
    std::vector<std::string> got;
    for (const auto& due : ChooseDueCards(list, cards, kToday, c.newPerDay)) got.push_back(due.word);
    EXPECT_EQ(c.words, got) << "new per day " << c.newPerDay;
  }
  auto due = ChooseDueCards(list, cards, kToday, 20);
  // Rows count the list's rows, the one without a word included.
  EXPECT_EQ(5, due[0].row);
  EXPECT_FALSE(due[0].isNew);
  EXPECT_EQ(1, due[3].row);
  EXPECT_TRUE(due[3].isNew);
  EXPECT_EQ(4, due[4].row);
}

TEST(ReviewSeries, DaysAreFilledCountedAndWalkedBack) {
  auto reviews = FillReviewDays({{kToday - 40, 9, 9}, {kToday - 29, 4, 3}, {kToday, 2, 1}}, kToday, 30);
  ASSERT_EQ(30u, reviews.size());
  EXPECT_EQ(kToday - 29, reviews[0].day);
  EXPECT_EQ(4, reviews[0].total);
  EXPECT_EQ(3, reviews[0].correct);
  EXPECT_EQ(0, reviews[1].total);
  EXPECT_EQ(2, reviews[29].total);

  // 10 known now; +3 on today-2, -1 on today-1, +2 today.
  auto known = KnownOverTime({{kToday - 2, 3}, {kToday - 1, -1}, {kToday, 2}}, 10, kToday, 4);
  std::vector<int> counts;
  for (const auto& k : known) counts.push_back(k.count);
  EXPECT_EQ((std::vector<int>{6, 9, 8, 10}), counts);
  EXPECT_EQ(kToday - 3, known[0].day);

  auto due = DueForecast({{kToday - 5, 2}, {kToday, 1}, {kToday + 2, 4}, {kToday + 14, 7}}, kToday, 14);
  ASSERT_EQ(14u, due.size());
  EXPECT_EQ(3, due[0].count);
  EXPECT_EQ(0, due[1].count);
  EXPECT_EQ(4, due[2].count);
  EXPECT_EQ(0, due[13].count);
}

TEST_F(ReviewStoreTest, ChartSeriesComeFromTheSeededHistory) {
  for (const char* w : {"alpha", "beta", "gamma"}) PutWord(db, kMainRemember, w, "释义", 1);
  PutWord(db, kMainWord, "delta", "丁", 1, 1);
  // Two days ago: alpha Good, beta Again. Today: gamma Easy.
  ASSERT_TRUE(store.RecordReview(kMainRemember, "alpha", Grade::Good, kNow - 2 * kDay, nullptr).ok());
  ASSERT_TRUE(store.RecordReview(kMainRemember, "beta", Grade::Again, kNow - 2 * kDay, nullptr).ok());
  ASSERT_TRUE(store.RecordReview(kMainRemember, "gamma", Grade::Easy, kNow, nullptr).ok());
  ASSERT_TRUE(store.LogKnownChanges(kMainWord, {"delta"}, true, kNow - kDay).ok());

  StatsSeries s;
  ASSERT_TRUE(LoadStats(store, {kMainWord, kMainRemember}, kNow, &s).ok());
  EXPECT_TRUE(s.hasReviews);
  EXPECT_EQ(kToday - 2, s.reviews[27].day);
  EXPECT_EQ(2, s.reviews[27].total);
  EXPECT_EQ(1, s.reviews[27].correct);
  EXPECT_EQ(1, s.reviews[29].total);
  EXPECT_EQ(1, s.reviews[29].correct);
  // delta known since yesterday.
  EXPECT_EQ(0, s.known[27].count);
  EXPECT_EQ(1, s.known[28].count);
  EXPECT_EQ(1, s.known[29].count);
  // alpha (reviewed 2 days ago, interval 2) is due today, beta (interval 1,
  // due yesterday) counts today, gamma (a first Easy: 8 days) in 8 days.
  EXPECT_EQ(2, s.due[0].count);
  EXPECT_EQ(1, s.due[8].count);
  ASSERT_EQ(2u, s.banks.size());
  EXPECT_EQ("main_word", s.banks[0].bank);
  EXPECT_EQ(1, s.banks[0].known);
  EXPECT_EQ(0, s.banks[0].unknown);
  EXPECT_EQ(0, s.banks[1].known);
  EXPECT_EQ(3, s.banks[1].unknown);
}

TEST_F(ReviewStoreTest, NoHistoryGivesEmptySeriesNotAFailure) {
  StatsSeries s;
  ASSERT_TRUE(LoadStats(store, {kMainWord, kMainRemember, "no_such_bank"}, kNow, &s).ok());
  EXPECT_FALSE(s.hasReviews);
  EXPECT_FALSE(s.hasKnownHistory);
  EXPECT_FALSE(s.hasDue);
  EXPECT_EQ(30u, s.reviews.size());
  EXPECT_EQ(14u, s.due.size());
  EXPECT_EQ(2u, s.banks.size());
}

}  // namespace
}  // namespace quorvo
