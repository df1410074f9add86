// The 统计 tab (offscreen): each chart's series from a seeded history, the
// empty state of a file that has none, a history that cannot be read, and
// what the charts draw: no label cut, every share a visible point, every
// bar inside its axis (checked on the rendered pixels, at the scale the
// test runs with; CTest runs them again at 1.5).
#include "wordapp/stats_page.h"

#include <sqlite3.h>

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLineSeries>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numeric>

#include "base/code_page.h"
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

TEST_F(StatsPageTest, AHistoryThatCannotBeReadSaysSoInsteadOfEmptyCharts) {
  Put(kMainRemember, "alpha", "释义", 1);
  Review("alpha", Grade::Good, 2);
  Open();
  EXPECT_EQ("", page->LoadFailure().toStdString());
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(DbPath().c_str(), &other));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));
  page->Refresh();
  EXPECT_EQ("统计暂时无法读取（词库文件正被其他程序使用）", page->LoadFailure().toStdString());
  EXPECT_FALSE(page->View(CStatsPage::kReviewsChart)->isVisible());
  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  // Once the file can be read again, so can the history.
  page->Refresh();
  EXPECT_EQ("", page->LoadFailure().toStdString());
  EXPECT_TRUE(page->View(CStatsPage::kReviewsChart)->isVisible());
  EXPECT_EQ(1, Bars(CStatsPage::kReviewsChart)[27]);
}

// ---- what the charts draw ---------------------------------------------

// A label as the axis holds it (HTML lines), as plain text on one line.
QString Plain(QString label) {
  label.remove(QStringLiteral("<br>")).remove(QStringLiteral("&#8203;"));
  label.replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">"));
  label.replace(QStringLiteral("&quot;"), QStringLiteral("\"")).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
  return label;
}

// Drawn in this colour, give or take the smoothing of its edges.
bool Near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 60;
}

// Every way a chart of the page hides what it means to show, one line each.
std::vector<std::string> DrawingFaults(CStatsPage* page) {
  std::vector<std::string> faults;
  for (int id = 0; id < 4; ++id) {
    auto chartId = static_cast<CStatsPage::ChartId>(id);
    if (page->ShowsEmptyState(chartId)) continue;
    QChartView* view = page->View(chartId);
    QChart* chart = page->Chart(chartId);
    std::string name = chart->title().toStdString();
    QImage image = view->grab().toImage();
    double dpr = image.devicePixelRatio();
    // Chart coordinates to device pixels of the grabbed view.
    QPointF viewport = view->viewport()->pos();
    auto toImage = [&](QPointF inChart) {
      return (view->viewportTransform().map(chart->mapToScene(inChart)) + viewport) * dpr;
    };
    QRectF plot(toImage(chart->plotArea().topLeft()), toImage(chart->plotArea().bottomRight()));
    auto colourAt = [&](int x, int y) { return image.valid(x, y) ? image.pixelColor(x, y) : QColor(Qt::transparent); };

    for (QAbstractAxis* axis : chart->axes()) {
      if (axis->labelsTruncated())
        faults.push_back(name + ": labels of \"" + axis->titleText().toStdString() + "\" cut");
      auto* banks = qobject_cast<QBarCategoryAxis*>(axis);
      if (!banks) continue;
      const auto& series = page->Series().banks;
      for (int i = 0; i < banks->count() && i < static_cast<int>(series.size()); ++i) {
        QString full = QString::fromStdString(Utf8(series[i].bank));
        QString shown = Plain(banks->at(i));
        bool whole = shown == full;
        bool elided =
            shown.endsWith(QStringLiteral("…")) && full.startsWith(shown.chopped(1)) && view->toolTip().contains(full);
        if (!whole && !elided)
          faults.push_back(name + ": bank \"" + full.toStdString() + "\" shown as \"" + shown.toStdString() + "\"");
      }
    }

    for (QAbstractSeries* series : chart->series()) {
      if (auto* line = qobject_cast<QLineSeries*>(series)) {
        // Something of the line's colour within two pixels of each point.
        for (const QPointF& value : line->points()) {
          QPointF at = toImage(chart->mapToPosition(value, line));
          bool seen = false;
          int r = static_cast<int>(std::ceil(2 * dpr));
          for (int dx = -r; dx <= r && !seen; ++dx)
            for (int dy = -r; dy <= r && !seen; ++dy)
              seen = Near(colourAt(static_cast<int>(at.x()) + dx, static_cast<int>(at.y()) + dy), line->color());
          if (!seen)
            faults.push_back(name + ": point (" + std::to_string(value.x()) + ", " + std::to_string(value.y()) +
                             ") of \"" + line->name().toStdString() + "\" not drawn");
        }
      }
      auto* bars = qobject_cast<QAbstractBarSeries*>(series);
      if (!bars) continue;
      bool stacked = bars->type() == QAbstractSeries::SeriesTypeStackedBar;
      std::vector<double> bottom(bars->count() ? bars->barSets().at(0)->count() : 0, 0.0);
      for (QBarSet* set : bars->barSets()) {
        for (int i = 0; i < set->count(); ++i) {
          double value = set->at(i);
          if (value <= 0) continue;
          // Along the row through the middle of the bar: its colour, in one
          // run centred on the bar, that stops short of the plot's edges.
          QPointF mid = toImage(chart->mapToPosition(QPointF(i, bottom[i] + value / 2), bars));
          if (stacked) bottom[i] += value;
          int y = static_cast<int>(mid.y());
          int left = static_cast<int>(mid.x()), right = left;
          std::string where = name + ": bar " + std::to_string(i) + " of \"" + set->label().toStdString() + "\"";
          if (!Near(colourAt(left, y), set->color())) {
            faults.push_back(where + " not drawn");
            continue;
          }
          while (Near(colourAt(left - 1, y), set->color())) --left;
          while (Near(colourAt(right + 1, y), set->color())) ++right;
          if (left <= plot.left() || right >= plot.right() - 1 || std::abs((left + right) / 2.0 - mid.x()) > 1.5 * dpr)
            faults.push_back(where + " cut: drawn " + std::to_string(left) + ".." + std::to_string(right) + " around " +
                             std::to_string(mid.x()) + ", plot " + std::to_string(plot.left()) + ".." +
                             std::to_string(plot.right()));
        }
      }
    }
  }
  return faults;
}

TEST_F(StatsPageTest, NoLabelIsCutEveryShareIsAPointAndEveryBarLiesInsideItsAxis) {
  auto dueInDays = [this](const std::string& word, int days) {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    ASSERT_EQ(SQLITE_OK, db.Execute("update review_card set due = last_review + " + std::to_string(days) +
                                    " where word = '" + word + "'"));
  };
  struct Case {
    const char* name;
    std::function<void()> seed;
  };
  const std::vector<Case> cases = {
      {"one day of reviews, today; a card due on the chart's last day",
       [&] {
         for (const char* w : {"alpha", "beta"}) Put(kMainRemember, w, "释义", 1);
         Review("alpha", Grade::Good, 0);
         Review("beta", Grade::Again, 0);
         dueInDays("alpha", 13);
       }},
      {"reviews on the chart's first and last days; nine banks, some with long names",
       [&] {
         std::vector<std::string> banks = {
             "reading_practice_for_the_cet6_exam", "exam_words_2026", "words_from_the_economist_weekly_edition",
             Gbk("新概念英语第二册课文单词"),      "toefl",           "gre_verbal_list_three",
             "ielts_speaking_topics_part_two"};
         MakeBanks(banks);
         for (const auto& b : banks) Put(b, "apple", "苹果", 1, 1);
         for (const char* w : {"alpha", "beta", "gamma", "delta"}) Put(kMainRemember, w, "释义", 1);
         Review("alpha", Grade::Good, 29);
         Review("beta", Grade::Hard, 29);
         Review("gamma", Grade::Again, 12);
         Review("delta", Grade::Easy, 0);
         Review("gamma", Grade::Good, 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(0, std::remove(DbPath().c_str()));
    MakeBanks({kMainWord, kMainRemember});
    c.seed();
    ops.clock = [] { return kNow; };
    CdictDlg window(ops);
    window.show();
    window.Tabs()->setCurrentIndex(2);
    // The charts lay out, then the bank names are fitted to their axis.
    QTest::qWait(50);
    QApplication::processEvents();
    for (auto id : {CStatsPage::kReviewsChart, CStatsPage::kDueChart, CStatsPage::kBanksChart})
      ASSERT_FALSE(window.Stats()->ShowsEmptyState(id)) << id;
    EXPECT_EQ(std::vector<std::string>{}, DrawingFaults(window.Stats()))
        << "scale " << qgetenv("QT_SCALE_FACTOR").toStdString();
  }
}

}  // namespace
}  // namespace quorvo
