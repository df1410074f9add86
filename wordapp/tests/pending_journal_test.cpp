// quorvo ends while another program holds the bank file: the lookups' stores
// waiting in their write group and the review grades kept ("暂存") go to the
// pending journal beside the file, and the next start writes them in and
// says so. Nothing the learner was shown as kept is lost.
#include "wordstore/pending_journal.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <chrono>
#include <filesystem>
#include <map>

#include "base/code_page.h"
#include "base/file_util.h"
#include "review/fsrs.h"
#include "review/misspelling_book.h"
#include "review/review_session.h"
#include "testing/held_file.h"
#include "testing/loopback_dictionary.h"
#include "testing/scoped_dictionary_host.h"
#include "testing/word_fixture.h"
#include "wordapp/dict_dlg.h"
#include "wordapp/page1.h"
#include "wordapp/page1_controls.h"
#include "wordapp/page2.h"
#include "wordapp/pending_replay.h"
#include "wordapp/tests/gui_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

using testing::Control;

class PendingJournalTest : public testing::GuiTest {};

TEST_F(PendingJournalTest, WhatCouldNotBeWrittenAtTheEndIsWrittenAtTheNextStart) {
  const std::map<std::string, std::string> answers = {{"apple", "苹果"}, {"bread", "面包"}, {"cloud", "云"}};
  testing::LoopbackDictionary dictionary(
      [&](const std::string& word) -> std::optional<testing::LoopbackDictionary::Parts> {
        auto found = answers.find(word);
        if (found == answers.end()) return std::nullopt;
        return testing::LoopbackDictionary::Parts{{"n.", found->second}};
      });
  testing::ScopedDictionaryHost host{dictionary.HostPort()};
  for (const auto& [word, trans] : answers) Put(kMainWord, word, "旧", 1);
  Put(kMainRemember, "alpha", "甲", 3);
  const int64_t now = 1800000000;
  ops.clock = [now] { return now; };

  auto window = std::make_unique<CdictDlg>(ops);
  {
    // Another program reads the file: writes go on, commits cannot.
    testing::HeldFile reader(DbPath(), testing::HeldFile::Kind::kReading);
    ASSERT_TRUE(reader.held());

    CPage2* page2 = window->Page2();
    page2->SetReviewMode(true);
    page2->ToggleTranslation();
    page2->GradeCard(Grade::Good);
    ASSERT_EQ(1, page2->Session().Pending());

    CPage1* page1 = window->Page1();
    for (int row = 0; row < page1->WordModel().rowCount(); ++row)
      page1->WordModel().setData(page1->WordModel().index(row, 0), Qt::Checked, Qt::CheckStateRole);
    Control<QComboBox>(page1, page1_controls::kBatchOperation)->setCurrentIndex(CPage1::kBatchLookup);
    Control<QPushButton>(page1, page1_controls::kApplyBatch)->click();
    QElapsedTimer timer;
    timer.start();
    while (dictionary.RequestCount() < 3 && timer.elapsed() < 20000)
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(3, dictionary.RequestCount());
    while ((!page1->CurrentRun() || page1->CurrentRun()->Done() < 3) && timer.elapsed() < 20000)
      QApplication::processEvents(QEventLoop::AllEvents, 20);

    window->FlushBeforeExit(std::chrono::steady_clock::now() + std::chrono::milliseconds(400));
    Result<PendingWrites> journal = LoadPendingWrites(DbPath());
    ASSERT_TRUE(journal.ok());
    ASSERT_EQ(1u, journal->reviews.size());
    EXPECT_EQ("alpha", journal->reviews[0].bank == kMainRemember ? journal->reviews[0].word : "");
    EXPECT_EQ(3, journal->reviews[0].grade);
    EXPECT_EQ(now, journal->reviews[0].at);
    EXPECT_FALSE(journal->statements.empty());
    window.reset();
    ASSERT_TRUE(reader.Release());
  }
  // Nothing of it reached the file...
  for (const auto& row : testing::ReadBank(DbPath(), kMainWord)) EXPECT_EQ(Gbk("旧"), row.trans) << row.value;
  // ...until the next start writes it.
  ReplayOutcome replayed = ReplayPendingWrites(DbPath());
  ASSERT_TRUE(replayed.status.ok()) << replayed.status.message();
  EXPECT_EQ(1, replayed.reviews);
  EXPECT_GT(replayed.statements, 0);
  EXPECT_FALSE(std::filesystem::exists(PendingJournalPath(DbPath())));
  for (const auto& row : testing::ReadBank(DbPath(), kMainWord))
    EXPECT_EQ("n. " + answers.at(row.value) + "\n", Utf8(row.trans)) << row.value;
  EXPECT_NE(std::string::npos, testing::DumpFile(DbPath()).find("alpha|main_remember|3|" + std::to_string(now)));
  EXPECT_EQ("上次退出时没能写入词库的 " + std::to_string(replayed.statements) +
                " 条释义记录和 1 条复习记录，现已补写进词库。",
            ReplayMessage(replayed));
  // A start without a journal says nothing.
  EXPECT_EQ("", ReplayMessage(ReplayPendingWrites(DbPath())));
}

// The drills' tries 错题本 could not take join a journal the way quorvo wrote
// it before them (header, a grade) as lines of their own, and the next start
// writes them in order, each on its day: alpha, right on three days after
// its mistake, leaves the book.
TEST_F(PendingJournalTest, DrillTriesGoThroughTheJournalInOrderOnTheirDays) {
  const int64_t d = 1796644800, day = 86400;  // 2026-12-07 12:00 UTC
  const std::string before = "quorvo pending 1\nreview\tmain_remember\tgamma\t3\t1796644800\n";
  ASSERT_TRUE(ReplaceFileAtomically(PendingJournalPath(DbPath()), before, 0600).ok());
  PendingWrites writes;
  writes.misspellings = {{"main_remember", "alpha", false, d - 3 * day},
                         {"main_remember", "alpha", true, d - 2 * day},
                         {"main_remember", "beta", false, d - day},
                         {"main_remember", "alpha", true, d - day},
                         {"main_remember", "alpha", true, d}};
  ASSERT_TRUE(SavePendingWrites(DbPath(), writes).ok());
  std::string text;
  ASSERT_EQ(0, ReadSmallFile(PendingJournalPath(DbPath()), 1 << 20, &text));
  EXPECT_EQ(before +
                "misspelling\tmain_remember\talpha\tmistake\t1796385600\nmisspelling\tmain_"
                "remember\talpha\tright\t1796472000\n"
                "misspelling\tmain_remember\tbeta\tmistake\t1796558400\nmisspelling\tmain_"
                "remember\talpha\tright\t1796558400\n"
                "misspelling\tmain_remember\talpha\tright\t1796644800\n",
            text);
  ReplayOutcome replayed = ReplayPendingWrites(DbPath());
  ASSERT_TRUE(replayed.status.ok()) << replayed.status.message();
  EXPECT_EQ(1, replayed.reviews);
  EXPECT_EQ(5, replayed.misspellings);
  EXPECT_EQ("上次退出时没能写入词库的 0 条释义记录、1 条复习记录和 5 条错题本记录，现已补写进词库。",
            ReplayMessage(replayed));
  WordDatabase db;
  ASSERT_TRUE(db.Open(DbPath()));
  std::vector<Misspelling> words = MisspellingBook(db, 0).Words(kMainRemember);
  ASSERT_EQ(1u, words.size());
  EXPECT_EQ("beta", words[0].word);
  EXPECT_EQ(d - day, words[0].lastAt);
}

}  // namespace
}  // namespace quorvo
