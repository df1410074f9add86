// CStatsPage: the third tab ("统计") of the main window: four charts of the
// learner's progress, read from the review history of dict_main.db each
// time the tab is shown (Refresh):
//   reviews per day over the last 30 days with the share answered correctly,
//   words known over the last 30 days, cards due in the next 14 days, and
//   known against not yet known words for each bank.
// A chart without history shows a sentence saying so instead of empty axes.
//
// Owns its own WordDatabase on the bank file (only reads; it makes no
// tables). The series come from LoadStats (review_stats.h), up to the time
// of the window ops' clock. Window thread.
#pragma once

#include <QWidget>
#include <array>

#include "review/review_stats.h"
#include "wordapp/window_ops.h"
#include "wordstore/word_database.h"

class QLabel;
class QStackedWidget;
QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
QT_END_NAMESPACE

namespace quorvo {

class CStatsPage : public QWidget {
  Q_OBJECT
 public:
  enum ChartId { kReviewsChart = 0, kKnownChart, kDueChart, kBanksChart };

  explicit CStatsPage(WindowOps& ops, QWidget* parent = nullptr);
  ~CStatsPage() override;

  // Reads the history again and redraws the charts.
  void Refresh();

  const StatsSeries& Series() const { return series_; }
  QChart* Chart(ChartId id) const;
  // Whether the chart shows its empty-state sentence instead of the chart.
  bool ShowsEmptyState(ChartId id) const;
  QString EmptyText(ChartId id) const;

 private:
  void DrawReviews();
  void DrawKnown();
  void DrawDue();
  void DrawBanks();
  void Show(ChartId id, QChart* chart, bool empty);

  WindowOps& ops_;
  WordDatabase db_;
  StatsSeries series_;
  std::array<QStackedWidget*, 4> stacks_{};
  std::array<QChartView*, 4> views_{};
  std::array<QLabel*, 4> empty_{};
};

}  // namespace quorvo
