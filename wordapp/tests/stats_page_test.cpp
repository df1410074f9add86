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
#include <numeric>

#include "base/code_page.h"
#include "lexicon/lexicon.h"
#include "review/misspelling_book.h"
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
    page->resize(860, 500);  // main_remember fits one line beside the chart tabs
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

TEST_F(StatsPageTest, MisspellingsOfTheDrillsShowDayByDayBesideTheReviews) {
  Review("alpha", Grade::Good, 2);
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(DbPath()));
    MisspellingBook book(db, LocalUtcOffset(kNow));
    ASSERT_TRUE(book.RecordMistake(kMainRemember, "alpha", kNow - 2 * kDay).ok());
    ASSERT_TRUE(book.RecordMistake(kMainRemember, "beta", kNow).ok());
    ASSERT_TRUE(book.RecordMistake(kMainRemember, "alpha", kNow).ok());
    ASSERT_TRUE(book.RecordMistake(kMainRemember, "gamma", kNow - 40 * kDay).ok());  // before the 30 days
  }
  Open();
  auto* misspelt = qobject_cast<QLineSeries*>(page->Chart(CStatsPage::kReviewsChart)->series().at(2));
  ASSERT_NE(nullptr, misspelt);
  EXPECT_EQ("拼错次数", misspelt->name().toStdString());
  // Two days ago one, today two; the mistake of 40 days ago is off the chart.
  EXPECT_EQ((QList<QPointF>{{27, 1}, {29, 2}}), misspelt->points());
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

// Drawn in this colour, give or take the smoothing of its edges.
bool Near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 60;
}

// Every way a chart of the page hides what it means to show, one line each.
std::vector<std::string> DrawingFaults(CStatsPage* page) {
  std::vector<std::string> faults;
  for (auto id : {CStatsPage::kReviewsChart, CStatsPage::kKnownChart, CStatsPage::kDueChart, CStatsPage::kBanksChart}) {
    QChartView* view = page->View(id);
    QChart* chart = page->Chart(id);
    std::string name = chart->title().toStdString();
    QImage image = view->grab().toImage();
    double dpr = image.devicePixelRatio();
    // Chart coordinates to device pixels of the grabbed view.
    auto toImage = [&](QPointF p) {
      return (view->viewportTransform().map(chart->mapToScene(p)) + view->viewport()->pos()) * dpr;
    };
    QRectF plot(toImage(chart->plotArea().topLeft()), toImage(chart->plotArea().bottomRight()));
    auto drawn = [&](QPointF p, const QColor& c) {
      return image.valid(p.toPoint()) && Near(image.pixelColor(p.toPoint()), c);
    };

    for (QAbstractAxis* axis : chart->axes()) {
      if (axis->labelsTruncated()) faults.push_back(name + ": labels cut on " + axis->titleText().toStdString());
      auto* banks = qobject_cast<QBarCategoryAxis*>(axis);
      for (int i = 0; banks && i < banks->count(); ++i) {
        // Whole, or shortened with the whole name in the chart's tooltip.
        QString full = QString::fromStdString(Utf8(page->Series().banks.at(i).bank));
        QString shown = banks->at(i).remove(QStringLiteral("<br>")).remove(QStringLiteral("&#8203;"));
        if (shown != full && !(shown.endsWith(QStringLiteral("…")) && full.startsWith(shown.chopped(1)) &&
                               view->toolTip().contains(full)))
          faults.push_back(name + ": " + full.toStdString() + " shown as " + shown.toStdString());
      }
    }
    for (QAbstractSeries* series : chart->series()) {
      if (auto* line = qobject_cast<QLineSeries*>(series)) {
        for (const QPointF& value : line->points()) {
          // Its colour within two pixels of each point.
          QPointF at = toImage(chart->mapToPosition(value, line));
          bool seen = false;
          for (int dx = -2; dx <= 2; ++dx)
            for (int dy = -2; dy <= 2; ++dy) seen = seen || drawn(at + QPointF(dx, dy) * dpr, line->color());
          if (!seen) faults.push_back(name + ": point not drawn at day " + std::to_string(value.x()));
        }
      }
      auto* bars = qobject_cast<QAbstractBarSeries*>(series);
      std::vector<double> bottom(32, 0.0);  // of each stacked bar
      for (QBarSet* set : bars ? bars->barSets() : QList<QBarSet*>()) {
        for (int i = 0; i < set->count(); ++i) {
          if (set->at(i) <= 0) continue;
          // The row through the bar's middle: one run of its colour, centred
          // on the bar, that stops short of the plot's edges.
          QPointF mid = toImage(chart->mapToPosition(QPointF(i, bottom[i] + set->at(i) / 2), bars));
          if (bars->type() == QAbstractSeries::SeriesTypeStackedBar) bottom[i] += set->at(i);
          QPointF left = mid, right = mid, step(1, 0);
          while (drawn(left - step, set->color())) left -= step;
          while (drawn(right + step, set->color())) right += step;
          if (!drawn(mid, set->color()) || left.x() <= plot.left() || right.x() >= plot.right() - 1 ||
              std::abs((left.x() + right.x()) / 2 - mid.x()) > 1.5 * dpr)
            faults.push_back(name + ": bar " + std::to_string(i) + " of " + set->label().toStdString() + " cut");
        }
      }
    }
  }
  return faults;
}

TEST_F(StatsPageTest, NoLabelIsCutEveryShareIsAPointAndEveryBarLiesInsideItsAxis) {
  const std::vector<std::string> banks = {
      "reading_practice_for_the_cet6_exam", "exam_words_2026", "words_from_the_economist_weekly_edition",
      Gbk("新概念英语第二册课文单词"),      "toefl",           "gre_verbal_list_three",
      "ielts_speaking_topics_part_two"};
  ops.clock = [] { return kNow; };
  for (const char* c : {"one day of reviews, today; a card due on the chart's last day",
                        "reviews on the chart's first and last days; nine banks, some with long names"}) {
    SCOPED_TRACE(c);
    ASSERT_EQ(0, std::remove(DbPath().c_str()));
    MakeBanks({kMainWord, kMainRemember});
    for (const char* w : {"alpha", "beta", "gamma"}) Put(kMainRemember, w, "释义", 1);
    Put(kMainWord, "apple", "苹果", 1, 1);
    Review("alpha", Grade::Good, 0);
    Review("beta", Grade::Again, 0);
    if (c[0] == 'o') {
      WordDatabase db;
      ASSERT_TRUE(db.Open(DbPath()));
      ASSERT_EQ(SQLITE_OK, db.Execute("update review_card set due = last_review + 13 where word = 'alpha'"));
    } else {
      MakeBanks(banks);
      for (const auto& b : banks) Put(b, "apple", "苹果", 1, 1);
      Review("gamma", Grade::Hard, 29);
      Review("gamma", Grade::Again, 12);
    }
    CdictDlg window(ops);
    window.show();
    window.Tabs()->setCurrentIndex(2);
    QTest::qWait(50);  // the charts lay out, then the bank names are fitted to their axis
    for (auto id : {CStatsPage::kReviewsChart, CStatsPage::kKnownChart, CStatsPage::kDueChart})
      ASSERT_FALSE(window.Stats()->ShowsEmptyState(id)) << id;
    EXPECT_EQ(std::vector<std::string>{}, DrawingFaults(window.Stats()))
        << "scale " << qgetenv("QT_SCALE_FACTOR").toStdString();
  }
}

}  // namespace
}  // namespace quorvo

namespace quorvo {
namespace {

// 考试词汇 on a seeded bank file: a list word counts as known when it, or
// its family's base, is marked 会背 in any bank; the lines read "CET-4：已掌握
// known / total".
TEST_F(StatsPageTest, ExamWordsCountKnownByFamilyAgainstEachList) {
  Lexicon lexicon;
  ASSERT_TRUE(
      lexicon.LoadText("apple\t\t0\tzk,cet4\nbanana\t\t0\tcet4\ncherry\t\t0\tcet4,gre\n"
                       "running\trun\nrun\t\t0\tzk\nleaves\tleave,leaf\tleaf\t\t0\tzk\n"));
  ops.lexicon = &lexicon;
  MakeBanks({"novel"});
  Put(kMainWord, "apple", "苹果", 1, 1);
  Put("novel", "running", "跑", 1, 1);  // a form known is not its base known
  Put("novel", "run", "跑", 1, 0);
  Put("novel", "banana", "香蕉", 1, 0);
  Put(kMainRemember, "cherry", "樱桃", 1, 1);
  Open();
  const auto& exams = page->Exams();
  struct Case {
    Exam exam;
    size_t known;
    size_t total;
    std::string line;
  } cases[] = {
      {Exam::Zhongkao, 1, 2, "中考：已掌握 1 / 2"},
      {Exam::Cet4, 2, 3, "CET-4：已掌握 2 / 3"},
      {Exam::Gre, 1, 1, "GRE：已掌握 1 / 1"},
      {Exam::Ielts, 0, 0, "IELTS：已掌握 0 / 0"},
  };
  for (const auto& c : cases) {
    const ExamProgress& p = exams[static_cast<size_t>(c.exam)];
    EXPECT_EQ(c.known, p.known) << c.line;
    EXPECT_EQ(c.total, p.total) << c.line;
    EXPECT_EQ(c.line, CStatsPage::ExamLine(c.exam, p).toStdString());
  }
  EXPECT_EQ("CET-6：已掌握 3,120 / 5,407", CStatsPage::ExamLine(Exam::Cet6, {3120, 5407}).toStdString());
  EXPECT_EQ("考试词汇", page->Chart(CStatsPage::kExamsChart)->title().toStdString());
  EXPECT_FALSE(page->ShowsEmptyState(CStatsPage::kExamsChart));
  // Bars from the top: the first exam is the last category.
  std::vector<double> known = Bars(CStatsPage::kExamsChart, 0);
  ASSERT_EQ(kExamCount, known.size());
  EXPECT_EQ(1, known.back());
  EXPECT_EQ(2, known[kExamCount - 1 - static_cast<size_t>(Exam::Cet4)]);
}

// Every known count takes one rule: run is 会背 in main_word only, and runs,
// running (novel) and ran (main_remember) count as known with it.
TEST_F(StatsPageTest, BanksAndExamsCountAFormKnownWhenItsBaseIsKnownInAnyBank) {
  Lexicon lexicon;
  ASSERT_TRUE(lexicon.LoadText(
      "runs\trun\nrunning\trun\nran\trun\t0\tcet6\nrun\t\t0\tcet6\ncats\tcat\ncat\t\t0\tcet6\ndog\t\t0\tcet6\n"));
  ops.lexicon = &lexicon;
  MakeBanks({"novel"});
  Put(kMainWord, "run", "跑", 1, 1);
  Put(kMainWord, "cat", "猫", 1, 0);
  for (const char* word : {"runs", "running", "cats"}) Put("novel", word, "t", 1, 0);
  Put("novel", "dog", "狗", 1, 1);
  Put(kMainRemember, "ran", "跑", 1, 0);
  Open();
  EXPECT_EQ((std::vector<double>{1, 3, 1}), Bars(CStatsPage::kBanksChart, 0));
  EXPECT_EQ((std::vector<double>{1, 1, 0}), Bars(CStatsPage::kBanksChart, 1));
  EXPECT_EQ(5, LineY(CStatsPage::kKnownChart, 0).back());
  EXPECT_EQ("CET-6：已掌握 3 / 4",
            CStatsPage::ExamLine(Exam::Cet6, page->Exams()[static_cast<size_t>(Exam::Cet6)]).toStdString());
}

}  // namespace
}  // namespace quorvo
