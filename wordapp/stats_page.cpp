#include "wordapp/stats_page.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDate>
#include <QGridLayout>
#include <QHorizontalStackedBarSeries>
#include <QLabel>
#include <QLineSeries>
#include <QStackedBarSeries>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "base/code_page.h"
#include "review/misspelling_book.h"
#include "startup/app_layout.h"
#include "wordapp/dialog_units.h"
#include "wordapp/run_summary.h"
#include "wordapp/stats_page_controls.h"
#include "wordapp/weight_fit_panel.h"
#include "wordstore/word_bank.h"
#include "wordstore/write_failure.h"

namespace quorvo {
namespace {

// Fonts that carry the Chinese labels; the desktop falls back from here.
QFont ChartFont(int pointSize, bool bold = false) {
  QFont f;
  f.setFamilies({QStringLiteral("Noto Sans CJK SC"), Ui("微软雅黑"), QStringLiteral("WenQuanYi Micro Hei")});
  f.setPointSize(pointSize);
  f.setBold(bold);
  return f;
}

QString DayLabel(int day) { return QDate(1970, 1, 1).addDays(day).toString(QStringLiteral("MM-dd")); }

QChart* NewChart(const QString& title) {
  auto* chart = new QChart;
  chart->setTitle(title);
  chart->setTitleFont(ChartFont(10, true));
  chart->legend()->setFont(ChartFont(8));
  chart->legend()->setAlignment(Qt::AlignBottom);
  chart->setMargins(QMargins(4, 4, 4, 4));
  chart->setAnimationOptions(QChart::NoAnimation);
  return chart;
}

void StyleAxis(QAbstractAxis* axis, const QString& title) {
  axis->setTitleText(title);
  axis->setTitleFont(ChartFont(8));
  axis->setLabelsFont(ChartFont(7));
}

// Days on a value axis (day i of the series at x = i), labelled every
// `every` days and on the last: a label for each of 30 narrow columns would
// not fit.
QCategoryAxis* DayAxis(const std::vector<int>& days, int every) {
  auto* axis = new QCategoryAxis;
  axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  axis->setRange(-0.5, static_cast<double>(days.size()) - 0.5);
  axis->setStartValue(-0.5);
  for (size_t i = 0; i < days.size(); ++i) {
    size_t fromEnd = days.size() - 1 - i;
    if (fromEnd % every == 0) axis->append(DayLabel(days[i]), static_cast<double>(i));
  }
  axis->setGridLineVisible(false);
  StyleAxis(axis, Ui("日期"));
  return axis;
}

QValueAxis* CountAxis(int maximum, const QString& title) {
  // Four steps of a round size (1, 2 or 5 times a power of ten), so every
  // tick is a whole count.
  int step = 1;
  for (int power = 1; step * 4 < maximum + 1; power *= 10) {
    for (int m : {1, 2, 5}) {
      step = m * power;
      if (step * 4 >= maximum + 1) break;
    }
  }
  auto* axis = new QValueAxis;
  axis->setRange(0, step * 4);
  axis->setLabelFormat(QStringLiteral("%d"));
  axis->setTickCount(5);
  StyleAxis(axis, title);
  return axis;
}

constexpr int kReadBusyMs = 500;

// Lines of at most kBankLabelLines under each bank's bar. The axis gives
// each of n labels the plot's width / (n + 2), less this much (its padding,
// and a pixel or two the chart measures more than the font does).
constexpr int kBankLabelLines = 2;
constexpr double kBankLabelSlack = 12;

// The name broken into lines of at most width pixels, after "_", "-" or a
// space where it can be, else between characters; the last line shortened
// with "…" when the name needs more than kBankLabelLines.
QStringList WrapName(const QString& name, const QFontMetricsF& fm, double width) {
  QStringList pieces;  // each ends after a break opportunity
  QString piece;
  for (QChar c : name) {
    piece += c;
    if (c == QLatin1Char('_') || c == QLatin1Char('-') || c == QLatin1Char(' ')) {
      pieces << piece;
      piece.clear();
    }
  }
  if (!piece.isEmpty()) pieces << piece;

  QStringList lines;
  QString line;
  auto fits = [&](const QString& text) { return fm.horizontalAdvance(text) <= width; };
  for (int i = 0; i < pieces.size(); ++i) {
    if (fits(line + pieces[i])) {
      line += pieces[i];
      continue;
    }
    if (!line.isEmpty()) {
      lines << line;
      line.clear();
    }
    // A piece wider than a line is cut between characters.
    QString rest = pieces[i];
    while (!fits(rest)) {
      int n = 1;
      while (n < rest.size() && fits(rest.left(n + 1))) ++n;
      lines << rest.left(n);
      rest = rest.mid(n);
    }
    line = rest;
  }
  if (!line.isEmpty()) lines << line;
  if (lines.size() > kBankLabelLines) {
    QString tail = lines.mid(kBankLabelLines - 1).join(QString());
    lines = lines.mid(0, kBankLabelLines - 1);
    lines << fm.elidedText(tail, Qt::ElideRight, width);
  }
  return lines;
}

// The bank names as the banks chart labels them: HTML lines, each within
// width; unique, as the axis needs (a shortened name that would equal
// another's gets zero-width spaces).
QStringList BankAxisLabels(const QStringList& names, const QFont& font, double width) {
  QFontMetricsF fm(font);
  QStringList labels;
  for (const QString& name : names) {
    QStringList lines = WrapName(name, fm, std::max(width, fm.horizontalAdvance(QStringLiteral("…"))));
    for (QString& line : lines) line = line.toHtmlEscaped();
    QString label = lines.join(QStringLiteral("<br>"));
    while (labels.contains(label)) label += QStringLiteral("&#8203;");
    labels << label;
  }
  return labels;
}

}  // namespace

CStatsPage::CStatsPage(WindowOps& ops, QWidget* parent) : QWidget(parent), ops_(ops) {
  setObjectName(QStringLiteral("stats"));
  QPalette white = palette();
  white.setColor(QPalette::Window, QColor(255, 255, 255));
  setPalette(white);
  setAutoFillBackground(true);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 4);
  outer->setSpacing(4);
  pages_ = new QStackedWidget(this);
  charts_ = new QWidget(pages_);
  auto* progress = new QWidget(charts_);
  auto* grid = new QGridLayout(progress);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(4);
  for (int i = 0; i < kChartCount; ++i) {
    stacks_[i] = new QStackedWidget(charts_);
    views_[i] = new QChartView(stacks_[i]);
    views_[i]->setRenderHint(QPainter::Antialiasing);
    empty_[i] = new QLabel(stacks_[i]);
    empty_[i]->setAlignment(Qt::AlignCenter);
    empty_[i]->setWordWrap(true);
    empty_[i]->setFont(ChartFont(10));
    empty_[i]->setStyleSheet(QStringLiteral("color: rgb(110, 110, 110)"));
    stacks_[i]->addWidget(views_[i]);
    stacks_[i]->addWidget(empty_[i]);
    if (i != kExamsChart) grid->addWidget(stacks_[i], i / 2, i % 2);
  }
  // The four progress charts on one tab, 考试词汇 on the other; the tabs
  // stand on the side, so the charts keep their height.
  examTabs_ = new QTabWidget(charts_);
  examTabs_->setObjectName(QString::number(stats_controls::kBankExamTabs));
  examTabs_->setDocumentMode(true);
  examTabs_->setTabPosition(QTabWidget::East);
  examTabs_->addTab(progress, Ui("进度"));
  examTabs_->addTab(stacks_[kExamsChart], Ui("考试词汇"));
  auto* tabsLayout = new QVBoxLayout(charts_);
  tabsLayout->setContentsMargins(0, 0, 0, 0);
  tabsLayout->addWidget(examTabs_);
  failure_ = new QLabel(pages_);
  failure_->setObjectName(QString::number(stats_controls::kLoadFailure));
  failure_->setAlignment(Qt::AlignCenter);
  failure_->setWordWrap(true);
  failure_->setFont(ChartFont(10));
  failure_->setStyleSheet(QStringLiteral("color: rgb(176, 32, 32)"));
  pages_->addWidget(charts_);
  pages_->addWidget(failure_);
  outer->addWidget(pages_, 1);

  if (ops_.readOnlyBanner.isEmpty())
    db_.Open(BankFile());
  else
    db_.OpenReadOnly(BankFile());
  // The tab is read on the window thread: a file another program holds is
  // told after a short wait, not after a frozen window.
  db_.SetBusyTimeout(kReadBusyMs);
  fit_ = new WeightFitPanel(db_, ops_, this);
  outer->addWidget(fit_);
}

CStatsPage::~CStatsPage() {
  // The panel stops its fit and goes before the connection it borrows.
  delete fit_;
  db_.Close();
}

QChart* CStatsPage::Chart(ChartId id) const { return views_[id]->chart(); }
bool CStatsPage::ShowsEmptyState(ChartId id) const { return stacks_[id]->currentWidget() == empty_[id]; }
QString CStatsPage::EmptyText(ChartId id) const { return empty_[id]->text(); }
QString CStatsPage::LoadFailure() const { return pages_->currentWidget() == failure_ ? failure_->text() : QString(); }

void CStatsPage::Refresh() {
  int64_t now = ops_.NowSeconds();
  ReviewStore store(db_, LocalUtcOffset(now));
  std::vector<std::string> banks;
  if (db_.IsOpen()) {
    banks = ListBanks(db_);
    banks.emplace_back(kMainRemember);
  }
  Status loaded = db_.IsOpen() ? LoadStats(store, banks, now, &series_, ops_.lexicon)
                               : Status(StatusCode::kNotFound, "the bank file did not open");
  if (!loaded.ok()) {
    // Not the empty charts of a learner without history.
    failure_->setText(Ui("统计暂时无法读取（%1）").arg(QString::fromStdString(CauseText(loaded))));
    pages_->setCurrentWidget(failure_);
    return;
  }
  // Misspellings of the drills (错题本), day by day beside the reviews.
  mistakes_.assign(series_.reviews.size(), 0);
  if (!series_.reviews.empty()) {
    MisspellingBook book(db_, LocalUtcOffset(now));
    int first = series_.reviews.front().day;
    for (const auto& [day, count] : book.MistakesPerDay(first, series_.reviews.back().day))
      if (day - first >= 0 && static_cast<size_t>(day - first) < mistakes_.size()) mistakes_[day - first] = count;
  }
  pages_->setCurrentWidget(charts_);
  fit_->Refresh();
  DrawReviews();
  DrawKnown();
  DrawDue();
  DrawBanks();
  // Known by family, the rule of every count of the series.
  exams_ = series_.exams;
  DrawExams();
}

QString CStatsPage::ExamLine(Exam exam, const ExamProgress& progress) {
  return Ui("%1：已掌握 %2 / %3")
      .arg(QString::fromUtf8(ExamName(exam)), Grouped(static_cast<long long>(progress.known)),
           Grouped(static_cast<long long>(progress.total)));
}

void CStatsPage::DrawExams() {
  QChart* chart = NewChart(Ui("考试词汇"));
  auto* known = new QBarSet(Ui("已掌握"));
  auto* rest = new QBarSet(Ui("未掌握"));
  QStringList lines;
  size_t most = 0;
  // The first exam at the top.
  for (size_t i = kExamCount; i-- > 0;) {
    *known << static_cast<double>(exams_[i].known);
    *rest << static_cast<double>(exams_[i].total - exams_[i].known);
    lines << ExamLine(kAllExams[i], exams_[i]);
    most = std::max(most, exams_[i].total);
  }
  auto* bars = new QHorizontalStackedBarSeries;
  bars->append(known);
  bars->append(rest);
  chart->addSeries(bars);
  auto* y = new QBarCategoryAxis;
  y->append(lines);
  auto* x = CountAxis(static_cast<int>(most), Ui("单词数（个）"));
  chart->addAxis(y, Qt::AlignLeft);
  chart->addAxis(x, Qt::AlignBottom);
  bars->attachAxis(y);
  bars->attachAxis(x);
  empty_[kExamsChart]->setText(Ui("没有考试词表（quorvo-lexicon.tsv 没有找到）。"));
  Show(kExamsChart, chart, most == 0);
}

void CStatsPage::Show(ChartId id, QChart* chart, bool empty) {
  QChart* old = views_[id]->chart();
  views_[id]->setChart(chart);
  delete old;
  stacks_[id]->setCurrentWidget(empty ? static_cast<QWidget*>(empty_[id]) : views_[id]);
}

void CStatsPage::DrawReviews() {
  QChart* chart = NewChart(Ui("近 30 天复习次数与答对比例"));
  auto* total = new QBarSet(Ui("复习次数"));
  // The drills' misspellings: points on the count axis, on the days with any.
  auto* misspelt = new QLineSeries;
  misspelt->setName(Ui("拼错次数"));
  misspelt->setPointsVisible(true);
  misspelt->setMarkerSize(5);
  auto* share = new QLineSeries;
  share->setName(Ui("答对比例"));
  // Each day a point of its own: a single day has no line to draw.
  share->setPointsVisible(true);
  share->setMarkerSize(6);
  std::vector<int> days;
  int most = 0;
  for (size_t i = 0; i < series_.reviews.size(); ++i) {
    const DayReviews& d = series_.reviews[i];
    *total << d.total;
    int mistakes = i < mistakes_.size() ? mistakes_[i] : 0;
    if (mistakes > 0) misspelt->append(static_cast<double>(i), mistakes);
    most = std::max(most, mistakes);
    if (d.total > 0) share->append(static_cast<double>(i), 100.0 * d.correct / d.total);
    days.push_back(d.day);
    most = std::max(most, d.total);
  }
  auto* bars = new QBarSeries;
  bars->append(total);
  chart->addSeries(bars);
  chart->addSeries(share);
  auto* x = DayAxis(days, 7);
  auto* y = CountAxis(most, Ui("次数（次）"));
  auto* percent = new QValueAxis;
  percent->setRange(0, 100);
  percent->setLabelFormat(QStringLiteral("%d%%"));
  StyleAxis(percent, Ui("答对比例（%）"));
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  chart->addAxis(percent, Qt::AlignRight);
  bars->attachAxis(x);
  bars->attachAxis(y);
  share->attachAxis(x);
  share->attachAxis(percent);
  chart->addSeries(misspelt);
  misspelt->attachAxis(x);
  misspelt->attachAxis(y);
  empty_[kReviewsChart]->setText(Ui("近 30 天还没有复习记录。\n在“浏览”页选择“今日复习”开始复习。"));
  Show(kReviewsChart, chart, !series_.hasReviews);
}

void CStatsPage::DrawKnown() {
  QChart* chart = NewChart(Ui("已会背单词数（近 30 天）"));
  auto* line = new QLineSeries;
  line->setName(Ui("会背的单词"));
  std::vector<int> days;
  int most = 0;
  for (size_t i = 0; i < series_.known.size(); ++i) {
    line->append(static_cast<double>(i), series_.known[i].count);
    days.push_back(series_.known[i].day);
    most = std::max(most, series_.known[i].count);
  }
  chart->addSeries(line);
  auto* x = DayAxis(days, 7);
  auto* y = CountAxis(most, Ui("单词数（个）"));
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  line->attachAxis(x);
  line->attachAxis(y);
  empty_[kKnownChart]->setText(Ui("还没有掌握进度的记录。\n标记“会背”或坚持复习后，这里会显示会背单词的变化。"));
  // Words known before any change was logged still make a (flat) line.
  Show(kKnownChart, chart, !series_.hasKnownHistory && series_.knownNow == 0);
}

void CStatsPage::DrawDue() {
  QChart* chart = NewChart(Ui("未来 14 天待复习单词"));
  auto* set = new QBarSet(Ui("到期单词"));
  std::vector<int> days;
  int most = 0;
  for (const auto& d : series_.due) {
    *set << d.count;
    days.push_back(d.day);
    most = std::max(most, d.count);
  }
  auto* bars = new QBarSeries;
  bars->append(set);
  chart->addSeries(bars);
  auto* x = DayAxis(days, 2);
  auto* y = CountAxis(most, Ui("单词数（个）"));
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  bars->attachAxis(x);
  bars->attachAxis(y);
  empty_[kDueChart]->setText(Ui("未来 14 天没有要复习的单词。"));
  Show(kDueChart, chart, !series_.hasDue);
}

void CStatsPage::DrawBanks() {
  QChart* chart = NewChart(Ui("各词库会背与不会的单词"));
  auto* known = new QBarSet(Ui("会背"));
  auto* unknown = new QBarSet(Ui("不会"));
  bankNames_.clear();
  QString tip = Ui("词库：会背 / 不会");
  int most = 0;
  int words = 0;
  for (const auto& b : series_.banks) {
    *known << b.known;
    *unknown << b.unknown;
    bankNames_ << QString::fromStdString(Utf8(b.bank));
    tip += QStringLiteral("\n%1：%2 / %3").arg(bankNames_.back()).arg(b.known).arg(b.unknown);
    most = std::max(most, b.known + b.unknown);
    words += b.known + b.unknown;
  }
  auto* bars = new QStackedBarSeries;
  bars->append(known);
  bars->append(unknown);
  chart->addSeries(bars);
  auto* x = new QBarCategoryAxis;
  StyleAxis(x, Ui("词库"));
  // Until the chart is laid out, a width no name needs more than; then the
  // labels are fitted to the axis.
  x->append(BankAxisLabels(bankNames_, x->labelsFont(), 1e6));
  auto* y = CountAxis(most, Ui("单词数（个）"));
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  bars->attachAxis(x);
  bars->attachAxis(y);
  empty_[kBanksChart]->setText(Ui("词库里还没有单词。"));
  views_[kBanksChart]->setToolTip(tip);
  connect(chart, &QChart::plotAreaChanged, this, &CStatsPage::FitBankLabels);
  Show(kBanksChart, chart, words == 0);
}

void CStatsPage::FitBankLabels() {
  QChart* chart = views_[kBanksChart]->chart();
  auto axes = chart->axes(Qt::Horizontal);
  auto* x = axes.isEmpty() ? nullptr : qobject_cast<QBarCategoryAxis*>(axes.front());
  if (!x || bankNames_.isEmpty()) return;
  double width = chart->plotArea().width() / (bankNames_.size() + 2) - kBankLabelSlack;
  QStringList labels = BankAxisLabels(bankNames_, x->labelsFont(), width);
  // Taller labels lay the chart out again, at the same width: no loop.
  if (labels != x->categories()) {
    x->clear();
    x->append(labels);
  }
}

}  // namespace quorvo
