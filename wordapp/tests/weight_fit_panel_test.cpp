// "优化参数" on the 统计 tab (offscreen): refused below 400 reviews with how
// many more are needed, a fit beside the window with its before and after,
// the weights stored only when kept, and a store that fails telling why.
#include "wordapp/weight_fit_panel.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

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
namespace ids = stats_controls;

constexpr int64_t kNow = 1796644800;  // 2026-12-07 12:00 UTC
constexpr int64_t kDay = 86400;

class WeightFitPanelTest : public testing::GuiTest {
 protected:
  WeightFitPanelTest() {
    ops.clock = [] { return kNow; };
  }

  // Words w<first>.. w<first + cards - 1>, each reviewed `reviews` times on
  // days 0, 1, 3, 7, ...: a fit learns from all but each card's first.
  void SeedLog(int first, int cards, int reviews) {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ASSERT_TRUE(ReviewStore(db, 0).EnsureTables().ok());
    Transaction txn(db.handle());
    Statement insert(db.handle(), "insert into review_log values (?, 'main_remember', ?, ?, 0)");
    for (int c = first; c < first + cards; ++c)
      for (int r = 0, day = 0; r < reviews; ++r, day = 2 * day + 1) {
        int grade = (c + r) % 7 == 3 ? 1 : (c * 3 + r) % 5 == 1 ? 2 : (c + 2 * r) % 6 == 0 ? 4 : 3;
        insert.Bind(1, "w" + std::to_string(c)).Bind(2, grade).Bind(3, kNow - (400 - day) * kDay + c);
        ASSERT_TRUE(insert.Run().ok());
        insert.Reset();
      }
    ASSERT_TRUE(txn.Commit().ok());
  }
  std::string StoredWeights() {
    WordDatabase db;
    EXPECT_TRUE(db.Open(DbPath()));
    std::string text;
    db.QueryRows("select value from review_setting where key = 'fsrs_weights'",
                 [&](int, const RowView& row) { text = row.Text(0); });
    return text;
  }
  void Open() {
    page = std::make_unique<CStatsPage>(ops);
    page->show();
    page->Refresh();
    page->FitPanel()->SetHeldFileWait(std::chrono::seconds(20), std::chrono::milliseconds(50));
  }
  QPushButton* Button(int id) { return Control<QPushButton>(page.get(), id); }
  std::string Text(int id) { return testing::TextOf(Control<QWidget>(page.get(), id)); }
  bool WaitWhile(bool (WeightFitPanel::*busy)() const) {
    QElapsedTimer clock;
    clock.start();
    while ((page->FitPanel()->*busy)() && clock.elapsed() < 60000) QTest::qWait(10);
    return !(page->FitPanel()->*busy)();
  }

  std::unique_ptr<CStatsPage> page;
};

TEST_F(WeightFitPanelTest, RefusedBelow400ThenFittedAndStoredOnlyWhenKept) {
  // Too few rows for any fit (60 reviews to learn from), then enough rows
  // but too few to learn from (360): both refused, the second by the fit.
  const std::tuple<int, int, int, const char*> refusals[] = {
      {0, 20, 4, "还需要再复习 340 次才能优化参数：至少要 400 次隔天的复习，现在有 60 次。"},
      {20, 60, 6, "还需要再复习 40 次才能优化参数：至少要 400 次隔天的复习，现在有 360 次。"}};
  Open();
  for (const auto& [first, cards, reviews, refusal] : refusals) {
    SeedLog(first, cards, reviews);
    Button(ids::kFit)->click();
    ASSERT_TRUE(WaitWhile(&WeightFitPanel::Fitting));
    EXPECT_EQ(refusal, Text(ids::kFitResult));
    EXPECT_FALSE(Button(ids::kKeepWeights)->isEnabled());
  }
  SeedLog(80, 20, 6);

  // The click returns at once: the fit runs beside the window.
  Button(ids::kFit)->click();
  EXPECT_TRUE(page->FitPanel()->Fitting());
  ASSERT_TRUE(WaitWhile(&WeightFitPanel::Fitting));
  QRegularExpression shown(
      QString::fromUtf8("^用了 460 次复习。\\n现用参数：对数损失 ([0-9.]+)，RMSE [0-9.]+%\\n"
                        "新参数：对数损失 ([0-9.]+)，RMSE [0-9.]+%$"));
  QRegularExpressionMatch m = shown.match(QString::fromStdString(Text(ids::kFitResult)));
  ASSERT_TRUE(m.hasMatch()) << Text(ids::kFitResult);
  EXPECT_LT(m.captured(2).toDouble(), m.captured(1).toDouble());  // fitted to this log, it predicts it better
  EXPECT_EQ("", StoredWeights());

  Button(ids::kKeepWeights)->click();
  EXPECT_EQ("新参数已保存，之后的复习按新参数安排。", Text(ids::kFitStatus));
  FsrsWeights kept{};
  ASSERT_TRUE(ParseFsrsWeights(StoredWeights(), &kept));
  EXPECT_NE(kDefaultFsrsWeights, kept);
  Open();
  EXPECT_EQ("现用参数：按你的复习记录优化所得。", Text(ids::kFitResult));

  // The same fit again gives the weights in use: nothing better to offer.
  Button(ids::kFit)->click();
  ASSERT_TRUE(WaitWhile(&WeightFitPanel::Fitting));
  m = shown.match(QString::fromStdString(Text(ids::kFitResult)));
  ASSERT_TRUE(m.hasMatch()) << Text(ids::kFitResult);
  EXPECT_EQ(m.captured(1), m.captured(2));
  EXPECT_EQ("新参数不比现用参数更准确，现用参数保持不变。", Text(ids::kFitStatus));
  EXPECT_FALSE(Button(ids::kKeepWeights)->isEnabled());

  // Nor does a fit stopped half-way.
  Button(ids::kFit)->click();
  Button(ids::kFitCancel)->click();
  ASSERT_TRUE(WaitWhile(&WeightFitPanel::Fitting));
  EXPECT_EQ("已取消优化，参数没有改变。", Text(ids::kFitResult));
  EXPECT_FALSE(Button(ids::kKeepWeights)->isEnabled());

  Button(ids::kDefaultWeights)->click();
  EXPECT_EQ("已恢复默认参数。", Text(ids::kFitStatus));
  EXPECT_EQ("", StoredWeights());
  EXPECT_FALSE(Button(ids::kDefaultWeights)->isEnabled());
}

TEST_F(WeightFitPanelTest, AStoreThatFailsSaysWhyAndIsNeverShownAsSaved) {
  enum Fault { kReadOnly, kDiskFull, kHeldThenFree, kHeldAndCancelled };
  const std::pair<Fault, const char*> cases[] = {
      {kReadOnly, "词库文件只读，这次操作没有保存，词库保持原样。"},
      {kDiskFull, "磁盘空间不足，这次操作没有保存，词库保持原样。"},
      {kHeldAndCancelled, "操作已取消，这次操作没有保存，词库保持原样。"},
      {kHeldThenFree, "新参数已保存，之后的复习按新参数安排。"},  // last: the file keeps them
  };
  SeedLog(0, 110, 5);
  for (const auto& [fault, status] : cases) {
    SCOPED_TRACE(status);
    testing::FaultyVfs vfs;  // outlives the page's connection
    vfs.SetReadOnly(fault == kReadOnly);
    Open();
    Button(ids::kFit)->click();
    ASSERT_TRUE(WaitWhile(&WeightFitPanel::Fitting));
    std::unique_ptr<testing::HeldFile> held;
    if (fault >= kHeldThenFree) held = std::make_unique<testing::HeldFile>(DbPath(), testing::HeldFile::Kind::kWriting);
    if (fault == kDiskFull) vfs.SetWriteBudget(0);
    Button(ids::kKeepWeights)->click();
    if (held) {
      EXPECT_EQ("等待词库文件…", Text(ids::kFitStatus));
      if (fault == kHeldThenFree)
        held->ReleaseAfter(std::chrono::milliseconds(200));
      else
        Button(ids::kFitCancel)->click();
      ASSERT_TRUE(WaitWhile(&WeightFitPanel::StoreWaiting));
    }
    EXPECT_EQ(status, Text(ids::kFitStatus));
    vfs.SetWriteBudget(-1);
    page.reset();
    held.reset();
    EXPECT_EQ(fault == kHeldThenFree, !StoredWeights().empty());
  }
}

}  // namespace
}  // namespace quorvo
