// CStatsPage: the third tab ("统计") of the main window: four charts of the
// learner's progress, read from the review history of dict_main.db each
// time the tab is shown (Refresh):
//   reviews per day over the last 30 days with the share answered correctly,
//   words known over the last 30 days, cards due in the next 14 days, and
//   known against not yet known words for each bank; and on a second tab
//   "考试词汇": for each exam, its list's words known against all.
// Every known count is by family (LoadStats): a word counts when it or its
// base is marked 会背 in any bank, whether its bank was counted by family.
// A chart without history shows a sentence saying so instead of empty axes;
// a history that cannot be read says so ("统计暂时无法读取（<cause>）") in
// place of all four, never as an empty history. Below the charts,
// "优化参数" (WeightFitPanel) fits the scheduler to the learner's reviews.
//
// Every label fits: the bank names are broken into lines within their share
// of the axis, and a name that is still too long is shortened with "…" and
// given in full in the chart's tooltip. A day's share answered correctly is
// marked as a point, so a single day shows. Bars lie inside their axes.
//
// Owns its own WordDatabase on the bank file (read-only when the file may
// only be read); the charts only read it, the fit panel stores the fitted
// weights through it. The series come from LoadStats (review_stats.h), up to the time
// of the window ops' clock. Window thread.
#pragma once

#include <QStringList>
#include <QWidget>
#include <array>

#include "lexicon/lexicon.h"
#include "review/review_stats.h"
#include "wordapp/window_ops.h"
#include "wordstore/word_database.h"

class QLabel;
class QStackedWidget;
class QTabWidget;
QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
QT_END_NAMESPACE

namespace quorvo {

class WeightFitPanel;

class CStatsPage : public QWidget {
  Q_OBJECT
 public:
  enum ChartId { kReviewsChart = 0, kKnownChart, kDueChart, kBanksChart, kExamsChart };
  static constexpr int kChartCount = 5;

  // One exam's line of "考试词汇": "CET-6：已掌握 3,120 / 5,407".
  static QString ExamLine(Exam exam, const ExamProgress& progress);

  explicit CStatsPage(WindowOps& ops, QWidget* parent = nullptr);
  ~CStatsPage() override;

  // Reads the history again and redraws the charts.
  void Refresh();

  const StatsSeries& Series() const { return series_; }
  const std::array<ExamProgress, kExamCount>& Exams() const { return exams_; }
  QChart* Chart(ChartId id) const;
  // Whether the chart shows its empty-state sentence instead of the chart.
  bool ShowsEmptyState(ChartId id) const;
  QString EmptyText(ChartId id) const;
  // "统计暂时无法读取（<cause>）" while the history could not be read, else empty.
  QString LoadFailure() const;
  QChartView* View(ChartId id) const { return views_[id]; }
  WeightFitPanel* FitPanel() const { return fit_; }

 private:
  void DrawReviews();
  void DrawKnown();
  void DrawDue();
  void DrawBanks();
  void DrawExams();
  void Show(ChartId id, QChart* chart, bool empty);
  // Fits the bank names to the width each has on the laid-out axis.
  void FitBankLabels();

  WindowOps& ops_;
  WordDatabase db_;
  StatsSeries series_;
  std::vector<int> mistakes_;  // misspellings of the drills, by the days of series_.reviews
  std::array<QStackedWidget*, kChartCount> stacks_{};
  std::array<QChartView*, kChartCount> views_{};
  std::array<QLabel*, kChartCount> empty_{};
  std::array<ExamProgress, kExamCount> exams_{};
  QTabWidget* examTabs_ = nullptr;   // "进度" (the four charts) and "考试词汇"
  QStackedWidget* pages_ = nullptr;  // the charts, or failure_
  QWidget* charts_ = nullptr;
  QLabel* failure_ = nullptr;
  WeightFitPanel* fit_ = nullptr;
  QStringList bankNames_;  // in full, as the banks chart was drawn
};

}  // namespace quorvo
