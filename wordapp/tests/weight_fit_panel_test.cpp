// "优化参数" on the 统计 tab (offscreen): the refusal below 400 reviews with
// how many more are needed, a fit that runs beside the window and shows its
// before and after, the weights stored only when kept (and back to the
// defaults), and a store that fails telling why instead of "saved".
#include "wordapp/weight_fit_panel.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <functional>

#include "review/review_store.h"
#include "testing/faulty_vfs.h"
#include "testing/held_file.h"
#include "wordapp/stats_page.h"
#include "wordapp/stats_page_controls.h"
#include "wordapp/tests/gui_fixture.h"
#include "wordstore/sql.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

using testing::Control;
using testing::TextOf;
namespace ids = stats_controls;

// 2026-12-07 12:00 UTC.
constexpr int64_t kNow = 1796644800;
constexpr int64_t kDay = 86400;

bool WaitFor(const std::function<bool()>& done, int ms = 60000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) QTest::qWait(10);
  return done();
}

class WeightFitPanelTest : public testing::GuiTest {
 protected:
  WeightFitPanelTest() {
    ops.clock = [] { return kNow; };
  }

  // A log of `cards` words, each reviewed `reviews` times on days 0, 1, 3,
  // 7, 15, ... (every review after a card's first comes on a later day: a
  // fit learns from cards * (reviews - 1) of them), grades in a fixed
  // pattern with lapses.
  void SeedLog(int cards, int reviews) {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ASSERT_TRUE(ReviewStore(db, 0).EnsureTables().ok());
    Transaction txn(db.handle());
    ASSERT_TRUE(txn.began().ok());
    Statement insert(db.handle(),
                     "insert into review_log (word, bank, grade, reviewed_at, interval) values (?, ?, ?, ?, 0)");
    int64_t start = kNow - 400 * kDay;
    for (int c = 0; c < cards; ++c) {
      int day = 0;
      for (int r = 0; r < reviews; ++r) {
        int grade = (c + r) % 7 == 3 ? 1 : (c * 3 + r) % 5 == 1 ? 2 : (c + 2 * r) % 6 == 0 ? 4 : 3;
        insert.Bind(1, "w" + std::to_string(c)).Bind(2, std::string(kMainRemember)).Bind(3, grade);
        insert.Bind(4, start + day * kDay + c * 10);
        ASSERT_TRUE(insert.Run().ok());
        insert.Reset();
        day = 2 * day + 1;
      }
    }
    ASSERT_TRUE(txn.Commit().ok());
  }
  // The fitted weights in the file, as review_setting holds them (empty: none).
  std::string StoredWeights() {
    WordDatabase db;
    EXPECT_TRUE(db.Open(DbPath()));
    std::string text;
    db.QueryRows("select value from review_setting where key = 'fsrs_weights'",
                 [&](int, const RowView& row) { text = row.Text(0) ? row.Text(0) : ""; });
    return text;
  }
  void Open() {
    page = std::make_unique<CStatsPage>(ops);
    page->resize(820, 560);
    page->show();
    page->Refresh();
  }
  void Click(int id) { Control<QPushButton>(page.get(), id)->click(); }
  bool Enabled(int id) { return Control<QPushButton>(page.get(), id)->isEnabled(); }
  std::string Text(int id) { return TextOf(Control<QWidget>(page.get(), id)); }
  // "优化参数", to its end.
  void Fit() {
    Click(ids::kFit);
    ASSERT_TRUE(WaitFor([this] { return !page->FitPanel()->Fitting(); }));
  }

  std::unique_ptr<CStatsPage> page;
};

TEST_F(WeightFitPanelTest, RefusesBelow400SayingHowManyMoreAreNeeded) {
  struct Case {
    int cards, reviews;
    const char* text;
  };
  const Case cases[] = {
      // 90 rows: refused before any fit starts.
      {30, 3, "还需要再复习 340 次才能优化参数：至少要 400 次隔天的复习，现在有 60 次。"},
      // 400 rows, of which 300 are a card's first review: refused by the fit.
      {100, 4, "还需要再复习 100 次才能优化参数：至少要 400 次隔天的复习，现在有 300 次。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_EQ(0, std::remove(DbPath().c_str()));
    MakeBanks({kMainWord, kMainRemember});
    SeedLog(c.cards, c.reviews);
    Open();
    Fit();
    EXPECT_EQ(c.text, Text(ids::kFitResult));
    EXPECT_FALSE(Enabled(ids::kKeepWeights));
    EXPECT_TRUE(Enabled(ids::kFit));
    EXPECT_EQ("", StoredWeights());
  }
}

TEST_F(WeightFitPanelTest, AFitShowsBeforeAndAfterAndIsStoredOnlyWhenKept) {
  SeedLog(110, 5);
  Open();
  EXPECT_EQ("现用参数：默认参数。按你的复习记录优化后，复习安排会更贴近你的记忆。", Text(ids::kFitResult));
  EXPECT_FALSE(Enabled(ids::kDefaultWeights));

  // The click returns at once: the fit runs beside the window.
  Click(ids::kFit);
  EXPECT_TRUE(page->FitPanel()->Fitting());
  EXPECT_FALSE(Enabled(ids::kFit));
  EXPECT_TRUE(Enabled(ids::kFitCancel));
  EXPECT_TRUE(Control<QProgressBar>(page.get(), ids::kFitProgress)->isVisible());
  ASSERT_TRUE(WaitFor([this] { return !page->FitPanel()->Fitting(); }));

  QRegularExpression shown(
      QString::fromUtf8("^用了 440 次复习。\\n现用参数：对数损失 ([0-9.]+)，RMSE ([0-9.]+)%\\n"
                        "新参数：对数损失 ([0-9.]+)，RMSE ([0-9.]+)%$"));
  QRegularExpressionMatch m = shown.match(QString::fromStdString(Text(ids::kFitResult)));
  ASSERT_TRUE(m.hasMatch()) << Text(ids::kFitResult);
  double lossBefore = m.captured(1).toDouble(), lossAfter = m.captured(3).toDouble();
  EXPECT_GT(lossBefore, 0.05);
  EXPECT_LT(lossAfter, lossBefore);  // fitted to this log, the weights predict it better
  EXPECT_FALSE(Control<QProgressBar>(page.get(), ids::kFitProgress)->isVisible());
  EXPECT_EQ("", StoredWeights());  // nothing stored before "保留新参数"

  ASSERT_TRUE(Enabled(ids::kKeepWeights));
  Click(ids::kKeepWeights);
  EXPECT_EQ("新参数已保存，之后的复习按新参数安排。", Text(ids::kFitStatus));
  std::string stored = StoredWeights();
  FsrsWeights weights{};
  ASSERT_TRUE(ParseFsrsWeights(stored, &weights)) << stored;
  EXPECT_NE(kDefaultFsrsWeights, weights);
  {
    // The scheduler of every later review uses them.
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    EXPECT_EQ(weights, ReviewStore(db, 0).CurrentScheduler().Parameters().w);
  }
  EXPECT_FALSE(Enabled(ids::kKeepWeights));
  Open();
  EXPECT_EQ("现用参数：按你的复习记录优化所得。", Text(ids::kFitResult));

  // A fit stopped half-way offers nothing to keep.
  Click(ids::kFit);
  Click(ids::kFitCancel);
  ASSERT_TRUE(WaitFor([this] { return !page->FitPanel()->Fitting(); }));
  EXPECT_EQ("已取消优化，参数没有改变。", Text(ids::kFitResult));
  EXPECT_FALSE(Enabled(ids::kKeepWeights));
  EXPECT_EQ(stored, StoredWeights());

  ASSERT_TRUE(Enabled(ids::kDefaultWeights));
  Click(ids::kDefaultWeights);
  EXPECT_EQ("已恢复默认参数。", Text(ids::kFitStatus));
  EXPECT_EQ("", StoredWeights());
  EXPECT_FALSE(Enabled(ids::kDefaultWeights));
}

TEST_F(WeightFitPanelTest, AStoreThatFailsSaysWhyAndIsNeverShownAsSaved) {
  enum class Fault { kReadOnly, kDiskFull, kHeldThenFree, kHeldAndCancelled };
  struct Case {
    Fault fault;
    const char* status;  // at the end
    bool saved;
  };
  const Case cases[] = {
      {Fault::kReadOnly, "词库文件只读，这次操作没有保存，词库保持原样。", false},
      {Fault::kDiskFull, "磁盘空间不足，这次操作没有保存，词库保持原样。", false},
      {Fault::kHeldThenFree, "新参数已保存，之后的复习按新参数安排。", true},
      {Fault::kHeldAndCancelled, "操作已取消，这次操作没有保存，词库保持原样。", false},
  };
  SeedLog(110, 5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    testing::FaultyVfs vfs;  // outlives the page's connection
    vfs.SetReadOnly(c.fault == Fault::kReadOnly);
    Open();
    page->FitPanel()->SetHeldFileWait(std::chrono::seconds(20), std::chrono::milliseconds(50));
    Fit();
    ASSERT_TRUE(Enabled(ids::kKeepWeights));
    std::unique_ptr<testing::HeldFile> held;
    if (c.fault == Fault::kHeldThenFree || c.fault == Fault::kHeldAndCancelled) {
      held = std::make_unique<testing::HeldFile>(DbPath(), testing::HeldFile::Kind::kWriting);
      ASSERT_TRUE(held->held());
    }
    if (c.fault == Fault::kDiskFull) vfs.SetWriteBudget(0);
    Click(ids::kKeepWeights);
    if (held) {
      EXPECT_EQ("等待词库文件…", Text(ids::kFitStatus));
      EXPECT_TRUE(page->FitPanel()->StoreWaiting());
      EXPECT_FALSE(Enabled(ids::kKeepWeights));
      if (c.fault == Fault::kHeldThenFree) {
        held->ReleaseAfter(std::chrono::milliseconds(200));
      } else {
        Click(ids::kFitCancel);
      }
      ASSERT_TRUE(WaitFor([this] { return !page->FitPanel()->StoreWaiting(); }));
    }
    EXPECT_EQ(c.status, Text(ids::kFitStatus));
    vfs.SetWriteBudget(-1);
    page.reset();
    held.reset();
    EXPECT_EQ(c.saved, !StoredWeights().empty());
    if (c.saved) {
      WordDatabase db;
      ASSERT_TRUE(db.Open(DbPath()));
      ASSERT_TRUE(ReviewStore(db, 0).ClearFittedWeights().ok());
    }
  }
}

}  // namespace
}  // namespace quorvo
