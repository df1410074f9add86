// The 统计 tab (offscreen): each chart's series from a seeded history, and
// the empty state of a file that has none.
#include "wordapp/stats_page.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QLineSeries>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <numeric>

#include "review/review_store.h"
#include "testing/word_fixture.h"
#include "wordapp/dict_dlg.h"
#include "wordapp/tests/gui_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

// 2026-12-07 12:00 UTC.
constexpr int64_t kNow = 1796644800;
constexpr int64_t kDay = 86400;

class StatsPageTest : public testing::GuiTest {
 protected:
  void Open() {
    ops.clock = [] { return kNow; };
    page = std::make_unique<CStatsPage>(ops);
    page->resize(800, 500);
    page->show();
    page->Refresh();
  }
  void Review(const std::string& word, Grade grade, int daysAgo) {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ReviewStore store(db, LocalUtcOffset(kNow));
    ASSERT_TRUE(store.RecordReview(kMainRemember, word, grade, kNow - daysAgo * kDay, nullptr).ok());
  }
  // The values of the chart's first bar set, or of a named one.
  std::vector<double> Bars(CStatsPage::ChartId id, int set = 0) {
    std::vector<double> values;
    auto* series = qobject_cast<QAbstractBarSeries*>(page->Chart(id)->series().at(0));
    EXPECT_NE(nullptr, series);
    if (!series) return values;
    QBarSet* bars = series->barSets().at(set);
    for (int i = 0; i < bars->count(); ++i) values.push_back(bars->at(i));
    return values;
  }
  std::vector<double> LineY(CStatsPage::ChartId id, int index) {
    std::vector<double> values;
    auto* line = qobject_cast<QLineSeries*>(page->Chart(id)->series().at(index));
    EXPECT_NE(nullptr, line);
    if (line)
      for (const QPointF& p : line->points()) values.push_back(p.y());
    return values;
  }

  std::unique_ptr<CStatsPage> page;
};

TEST_F(StatsPageTest, EachChartDrawsTheSeededHistory) {
  for (const char* w : {"alpha", "beta", "gamma", "delta"}) Put(kMainRemember, w, "释义", 1);
  Put(kMainWord, "apple", "苹果", 1, 1);
  Put(kMainWord, "pear", "梨", 1);
  Review("alpha", Grade::Good, 3);  // due in 1 day
  Review("beta", Grade::Again, 3);  // due 2 days ago: today
  Review("gamma", Grade::Hard, 3);  // interval 1: today
  Review("alpha", Grade::Easy, 0);  // alpha again today
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ReviewStore store(db, LocalUtcOffset(kNow));
    ASSERT_TRUE(store.MarkKnownAndLog(kMainRemember, {"delta"}, kNow - kDay).ok());
  }
  Open();

  for (auto id : {CStatsPage::kReviewsChart, CStatsPage::kKnownChart, CStatsPage::kDueChart, CStatsPage::kBanksChart})
    EXPECT_FALSE(page->ShowsEmptyState(id)) << id;

  std::vector<double> reviews = Bars(CStatsPage::kReviewsChart);
  ASSERT_EQ(30u, reviews.size());
  EXPECT_EQ(3, reviews[26]);
  EXPECT_EQ(1, reviews[29]);
  EXPECT_EQ(4, std::accumulate(reviews.begin(), reviews.end(), 0.0));
  // Share answered correctly, only on days with reviews: 2 of 3, then 1 of 1.
  std::vector<double> share = LineY(CStatsPage::kReviewsChart, 1);
  ASSERT_EQ(2u, share.size());
  EXPECT_NEAR(66.667, share[0], 0.001);
  EXPECT_EQ(100, share[1]);
  EXPECT_EQ("近 30 天复习次数与答对比例", page->Chart(CStatsPage::kReviewsChart)->title().toStdString());

  // Known: apple all along, delta from yesterday.
  std::vector<double> known = LineY(CStatsPage::kKnownChart, 0);
  ASSERT_EQ(30u, known.size());
  EXPECT_EQ(1, known[27]);
  EXPECT_EQ(2, known[28]);
  EXPECT_EQ(2, known[29]);

  // Due: beta and gamma today; alpha (Easy today) in 28 days, past the chart;
  // delta was never reviewed.
  std::vector<double> due = Bars(CStatsPage::kDueChart);
  ASSERT_EQ(14u, due.size());
  EXPECT_EQ(2, due[0]);
  EXPECT_EQ(2, std::accumulate(due.begin(), due.end(), 0.0));

  // Banks: main_word 1 known of 2, main_remember 1 known (delta) of 4.
  EXPECT_EQ((std::vector<double>{1, 1}), Bars(CStatsPage::kBanksChart, 0));
  EXPECT_EQ((std::vector<double>{1, 3}), Bars(CStatsPage::kBanksChart, 1));
  auto* axis = qobject_cast<QBarCategoryAxis*>(page->Chart(CStatsPage::kBanksChart)->axes(Qt::Horizontal).at(0));
  ASSERT_NE(nullptr, axis);
  EXPECT_EQ((QStringList{"main_word", "main_remember"}), axis->categories());
  EXPECT_EQ("单词数（个）", page->Chart(CStatsPage::kBanksChart)->axes(Qt::Vertical).at(0)->titleText().toStdString());
}

TEST_F(StatsPageTest, AFileWithoutHistoryShowsEmptyStatesAndGainsNoTables) {
  Open();
  for (auto id : {CStatsPage::kReviewsChart, CStatsPage::kKnownChart, CStatsPage::kDueChart, CStatsPage::kBanksChart}) {
    EXPECT_TRUE(page->ShowsEmptyState(id)) << id;
    EXPECT_FALSE(page->EmptyText(CStatsPage::ChartId(id)).isEmpty());
  }
  EXPECT_EQ("未来 14 天没有要复习的单词。", page->EmptyText(CStatsPage::kDueChart).toStdString());
  EXPECT_EQ((std::vector<std::string>{"main_remember", "main_word"}), testing::TableNames(DbPath()));
  // Words in a bank are progress even without reviews; known ones make a
  // flat line of what is known.
  Put(kMainWord, "apple", "苹果", 1);
  page->Refresh();
  EXPECT_FALSE(page->ShowsEmptyState(CStatsPage::kBanksChart));
  EXPECT_TRUE(page->ShowsEmptyState(CStatsPage::kReviewsChart));
  EXPECT_TRUE(page->ShowsEmptyState(CStatsPage::kKnownChart));
  Put(kMainWord, "pear", "梨", 1, 1);
  page->Refresh();
  EXPECT_FALSE(page->ShowsEmptyState(CStatsPage::kKnownChart));
  std::vector<double> known = LineY(CStatsPage::kKnownChart, 0);
  ASSERT_EQ(30u, known.size());
  EXPECT_EQ(1, known.front());
  EXPECT_EQ(1, known.back());
}

TEST_F(StatsPageTest, ChoosingTheTabReadsTheHistoryAgain) {
  CdictDlg window(ops);
  window.show();
  EXPECT_TRUE(window.Stats()->Series().banks.empty());
  Put(kMainWord, "apple", "苹果", 1);
  window.Tabs()->setCurrentIndex(2);
  ASSERT_EQ(2u, window.Stats()->Series().banks.size());
  EXPECT_EQ(1, window.Stats()->Series().banks[0].unknown);
}

}  // namespace
}  // namespace quorvo
