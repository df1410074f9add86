#include "review/misspelling_book.h"

#include <gtest/gtest.h>

#include "review/review_store.h"
#include "testing/held_file.h"
#include "testing/temp_dir.h"

namespace quorvo {
namespace {

// 2026-12-07 12:00 UTC; the learner's clock is UTC+8.
constexpr int64_t kNoon = 1796644800;
constexpr int64_t kDay = 86400;
constexpr int kOffset = 8 * 3600;

TEST(MisspellingBook, AWordLeavesAfterThreeRightDaysInARow) {
  testing::TempDir dir;
  WordDatabase db;
  ASSERT_TRUE(db.Open(dir.File("dict_main.db")));
  MisspellingBook book(db, kOffset);
  // Each step: what happened at which moment, then whether the word is in
  // the book and its right days.
  struct Step {
    const char* what;
    int64_t at;
    bool inBook;
    int rightDays;
  };
  const Step steps[] = {
      {"right before any mistake", kNoon, false, 0},
      {"mistake", kNoon, true, 0},
      {"right", kNoon + 60, true, 1},
      {"right", kNoon + 3600, true, 1},  // the same day counts once
      {"right", kNoon + kDay, true, 2},
      {"mistake", kNoon + kDay + 60, true, 0},  // starts again
      {"right", kNoon + 2 * kDay, true, 1},
      {"right", kNoon + 3 * kDay, true, 2},
      // 15:59 UTC is 23:59 local, 16:01 UTC the next local day.
      {"right", kNoon + 3 * kDay + 4 * 3600 - 60, true, 2},
      {"right", kNoon + 3 * kDay + 4 * 3600 + 60, false, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.what) + " at " + std::to_string((step.at - kNoon) / 60) + " min");
    Status done = std::string(step.what) == "mistake" ? book.RecordMistake("main_remember", "letter", step.at)
                                                      : book.RecordRight("main_remember", "letter", step.at);
    ASSERT_TRUE(done.ok()) << done.message();
    std::vector<Misspelling> words = book.Words("main_remember");
    ASSERT_EQ(step.inBook ? 1u : 0u, words.size());
    if (step.inBook) EXPECT_EQ(step.rightDays, words[0].rightDays);
  }
  // One mistake on each of the first two local days.
  int first = LocalDay(kNoon, kOffset);
  EXPECT_EQ((std::vector<std::pair<int, int>>{{first, 1}, {first + 1, 1}}), book.MistakesPerDay(first, first + 30));
}

TEST(MisspellingBook, AHeldFileSaysSoAndKeepsNothingHalfWritten) {
  testing::TempDir dir;
  WordDatabase db;
  ASSERT_TRUE(db.Open(dir.File("dict_main.db")));
  db.SetBusyTimeout(50);
  MisspellingBook book(db, 0);
  ASSERT_TRUE(book.RecordMistake("b", "word", kNoon).ok());
  {
    testing::HeldFile held(dir.File("dict_main.db"), testing::HeldFile::Kind::kExclusive);
    Status refused = book.RecordMistake("b", "word", kNoon + 10);
    EXPECT_EQ(StatusCode::kBusy, refused.code());
  }
  std::vector<Misspelling> words = book.Words("b");
  ASSERT_EQ(1u, words.size());
  EXPECT_EQ(1, words[0].count);
}

// Tries typed while another program holds the file wait, in order, and are
// written at the moments they were typed, before any newer one: the right
// try a day after the mistake counts (written first, it would count nothing).
TEST(MisspellingRecorder, TriesAHeldFileRefusedAreWrittenLaterInOrderAtTheirMoments) {
  testing::TempDir dir;
  WordDatabase db;
  ASSERT_TRUE(db.Open(dir.File("dict_main.db")));
  db.SetBusyTimeout(50);
  MisspellingRecorder recorder(db, 0);
  ASSERT_TRUE(recorder.Record({"b", "old", false, kNoon - kDay}).ok());
  {
    testing::HeldFile held(dir.File("dict_main.db"), testing::HeldFile::Kind::kExclusive);
    // "old" is in the book: a file that cannot be read is no answer.
    EXPECT_EQ(StatusCode::kBusy, recorder.Record({"b", "old", true, kNoon}).code());
    EXPECT_EQ(StatusCode::kBusy, recorder.Record({"b", "letter", false, kNoon + 10}).code());
    EXPECT_EQ(StatusCode::kBusy, recorder.RetryPending().code());
    EXPECT_EQ(2, recorder.Pending());
    ASSERT_TRUE(held.Release());
  }
  ASSERT_TRUE(recorder.Record({"b", "letter", true, kNoon + kDay}).ok());
  EXPECT_EQ(0, recorder.Pending());
  std::vector<Misspelling> words = MisspellingBook(db, 0).Words("b");
  ASSERT_EQ(2u, words.size());
  EXPECT_EQ("letter", words[0].word);
  EXPECT_EQ(kNoon + 10, words[0].lastAt);
  EXPECT_EQ(1, words[0].rightDays);
  EXPECT_EQ("old", words[1].word);
  EXPECT_EQ(1, words[1].rightDays);
}

}  // namespace
}  // namespace quorvo
