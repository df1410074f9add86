#include "wordapp/weight_fit_panel.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <algorithm>
#include <atomic>

#include "review/fsrs_fit.h"
#include "review/review_store.h"
#include "wordapp/dialog_units.h"
#include "wordapp/stats_page_controls.h"
#include "wordstore/write_failure.h"

namespace quorvo {
namespace {

// How often the window looks at the fit's progress.
constexpr int kPollMs = 50;
// A store that meets a held file tries again this often; each try waits
// this long for the file, so the window never stops answering for longer.
constexpr int kHeldRetryMs = 500;
constexpr int kTryBusyMs = 250;

QString Number(double value, int decimals) { return QString::number(value, 'f', decimals); }

}  // namespace

// What the window thread and the worker share. The worker writes result
// before it sets done; the window reads it only after done.
struct WeightFitPanel::Job {
  std::atomic<bool> cancel{false};
  std::atomic<int> permille{0};
  std::atomic<bool> done{false};
  FitResult result;
};

WeightFitPanel::WeightFitPanel(WordDatabase& db, WindowOps& ops, QWidget* parent)
    : QWidget(parent), db_(db), ops_(ops) {
  using namespace stats_controls;
  auto button = [this](const char* text, int id) {
    auto* b = new QPushButton(Ui(text), this);
    b->setObjectName(QString::number(id));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
  };
  fit_ = button("优化参数", kFit);
  fit_->setToolTip(Ui("按你自己的复习记录调整记忆模型的 21 个参数，让复习安排更贴近你的记忆"));
  cancel_ = button("取消", kFitCancel);
  keep_ = button("保留新参数", kKeepWeights);
  defaults_ = button("恢复默认参数", kDefaultWeights);

  result_ = new QLabel(this);
  result_->setObjectName(QString::number(kFitResult));
  result_->setWordWrap(true);
  result_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  // The progress bar while a fit runs, the stores' outcome otherwise: one
  // place, so the panel keeps its height.
  auto* below = new QStackedWidget(this);
  progress_ = new QProgressBar(below);
  progress_->setObjectName(QString::number(kFitProgress));
  progress_->setRange(0, 100);
  status_ = new QLabel(below);
  status_->setObjectName(QString::number(kFitStatus));
  status_->setWordWrap(true);
  below->addWidget(status_);
  below->addWidget(progress_);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(4, 2, 4, 2);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(2);
  grid->addWidget(fit_, 0, 0);
  grid->addWidget(cancel_, 1, 0);
  grid->addWidget(result_, 0, 1);
  grid->addWidget(below, 1, 1);
  grid->addWidget(keep_, 0, 2);
  grid->addWidget(defaults_, 1, 2);
  grid->setColumnStretch(1, 1);
  // Room for the three lines of a fit's result.
  result_->setMinimumHeight(3 * result_->fontMetrics().lineSpacing());

  connect(fit_, &QPushButton::clicked, this, &WeightFitPanel::StartFit);
  connect(cancel_, &QPushButton::clicked, this, &WeightFitPanel::Cancel);
  connect(keep_, &QPushButton::clicked, this, &WeightFitPanel::KeepWeights);
  connect(defaults_, &QPushButton::clicked, this, &WeightFitPanel::UseDefaultWeights);
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, &WeightFitPanel::Poll);
  storeRetry_.setSingleShot(true);
  storeRetry_.setInterval(kHeldRetryMs);
  connect(&storeRetry_, &QTimer::timeout, this, &WeightFitPanel::TryStore);
  UpdateButtons();
}

WeightFitPanel::~WeightFitPanel() {
  if (job_) job_->cancel.store(true);
  if (worker_.joinable()) worker_.join();
}

void WeightFitPanel::SetHeldFileWait(std::chrono::milliseconds wait, std::chrono::milliseconds retry) {
  heldWait_ = wait;
  storeRetry_.setInterval(static_cast<int>(retry.count()));
}

void WeightFitPanel::Refresh() {
  if (db_.IsOpen()) {
    ReviewStore store(db_, LocalUtcOffset(ops_.NowSeconds()));
    FsrsWeights weights{};
    bool found = false;
    // A file that cannot be read now keeps what was known of it.
    if (store.FittedWeights(&weights, &found).ok()) {
      usingFitted_ = found;
      inUse_ = found ? weights : kDefaultFsrsWeights;
    }
  }
  if (!resultShown_ && !job_)
    result_->setText(usingFitted_ ? Ui("现用参数：按你的复习记录优化所得。")
                                  : Ui("现用参数：默认参数。按你的复习记录优化后，复习安排会更贴近你的记忆。"));
  UpdateButtons();
}

void WeightFitPanel::StartFit() {
  if (job_ || store_) return;
  ShowStatus({}, false);
  if (!db_.IsOpen()) {
    ShowStatus(Ui("复习记录暂时无法读取（%1），没有优化。")
                   .arg(QString::fromStdString(CauseText(Status(StatusCode::kNotFound, "not open")))),
               true);
    return;
  }
  Refresh();
  int offset = LocalUtcOffset(ops_.NowSeconds());
  ReviewStore store(db_, offset);
  std::vector<LoggedReview> rows;
  Status read = store.LoadReviewLog(&rows);
  if (!read.ok()) {
    ShowStatus(Ui("复习记录暂时无法读取（%1），没有优化。").arg(QString::fromStdString(CauseText(read))), true);
    return;
  }
  fitted_.reset();
  resultShown_ = true;
  if (rows.size() < static_cast<size_t>(kMinFitReviews)) {
    // Too few rows for any fit: no worker needed to say so.
    int reviews = CountFitReviews(GroupReviewLog(std::move(rows), offset));
    ShowTooFew(reviews, kMinFitReviews - reviews);
    UpdateButtons();
    return;
  }

  result_->setText(Ui("正在按 %1 条复习记录优化参数…").arg(rows.size()));
  progress_->setValue(0);
  static_cast<QStackedWidget*>(progress_->parentWidget())->setCurrentWidget(progress_);
  job_ = std::make_shared<Job>();
  worker_ = std::thread([job = job_, rows = std::move(rows), offset, current = inUse_]() mutable {
    std::vector<CardReviews> cards = GroupReviewLog(std::move(rows), offset);
    FitOptions options;
    options.current = current;
    options.progress = [&job](double done) {
      job->permille.store(static_cast<int>(std::clamp(done, 0.0, 1.0) * 1000));
      return !job->cancel.load();
    };
    job->result = FitWeights(cards, options);
    job->done.store(true, std::memory_order_release);
  });
  poll_.start();
  UpdateButtons();
}

void WeightFitPanel::Poll() {
  if (!job_) return;
  progress_->setValue(job_->permille.load() / 10);
  if (!job_->done.load(std::memory_order_acquire)) return;
  poll_.stop();
  worker_.join();
  std::shared_ptr<Job> job = std::move(job_);
  static_cast<QStackedWidget*>(status_->parentWidget())->setCurrentWidget(status_);
  const FitResult& r = job->result;
  if (job->cancel.load() || r.status == FitStatus::kCancelled) {
    // Asked to stop: even a fit that got to its end is not offered.
    result_->setText(Ui("已取消优化，参数没有改变。"));
  } else if (r.status == FitStatus::kTooFewReviews) {
    ShowTooFew(r.reviews, r.reviewsNeeded);
  } else {
    result_->setText(Ui("用了 %1 次复习。\n现用参数：对数损失 %2，RMSE %3%\n新参数：对数损失 %4，RMSE %5%")
                         .arg(r.reviews)
                         .arg(Number(r.before.logLoss, 4), Number(100 * r.before.rmseBins, 2),
                              Number(r.after.logLoss, 4), Number(100 * r.after.rmseBins, 2)));
    // Weights that predict the learner's reviews no better than those in
    // use are not offered.
    if (r.after.logLoss < r.before.logLoss) {
      fitted_ = r.weights;
      ShowStatus(Ui("按“保留新参数”后，之后的复习按新参数安排。"), false);
    } else {
      ShowStatus(Ui("新参数不比现用参数更准确，现用参数保持不变。"), false);
    }
  }
  UpdateButtons();
}

void WeightFitPanel::ShowTooFew(int reviews, int needed) {
  result_->setText(Ui("还需要再复习 %1 次才能优化参数：至少要 %2 次隔天的复习，现在有 %3 次。")
                       .arg(needed)
                       .arg(kMinFitReviews)
                       .arg(reviews));
}

void WeightFitPanel::Cancel() {
  if (job_) {
    job_->cancel.store(true);
    result_->setText(Ui("正在取消…"));
    return;
  }
  if (store_) {
    storeRetry_.stop();
    store_.reset();
    ShowStatus(QString::fromStdString(NotSavedText(Status(StatusCode::kCancelled, "the learner stopped waiting"))),
               true);
    UpdateButtons();
  }
}

void WeightFitPanel::KeepWeights() {
  if (!fitted_) return;
  FsrsWeights weights = *fitted_;
  Store([this, weights] { return ReviewStore(db_, LocalUtcOffset(ops_.NowSeconds())).SetFittedWeights(weights); },
        [this, weights] {
          fitted_.reset();
          usingFitted_ = true;
          inUse_ = weights;
          ShowStatus(Ui("新参数已保存，之后的复习按新参数安排。"), false);
        });
}

void WeightFitPanel::UseDefaultWeights() {
  Store([this] { return ReviewStore(db_, LocalUtcOffset(ops_.NowSeconds())).ClearFittedWeights(); },
        [this] {
          usingFitted_ = false;
          inUse_ = kDefaultFsrsWeights;
          ShowStatus(Ui("已恢复默认参数。"), false);
          if (!resultShown_) Refresh();
        });
}

void WeightFitPanel::Store(std::function<Status()> attempt, std::function<void()> stored) {
  if (store_ || job_) return;
  store_ = PendingStore{std::move(attempt), std::move(stored), std::chrono::steady_clock::now() + heldWait_};
  TryStore();
}

void WeightFitPanel::TryStore() {
  if (!store_) return;
  // A short wait for the file at each try: the window keeps answering.
  int busy = db_.BusyTimeout();
  db_.SetBusyTimeout(std::min(busy, kTryBusyMs));
  Status outcome = store_->attempt();
  db_.SetBusyTimeout(busy);
  if (outcome.code() == StatusCode::kBusy && std::chrono::steady_clock::now() < store_->giveUpAt) {
    ShowStatus(Ui("等待词库文件…"), false);
    status_->setToolTip(Ui("另一个程序正在使用词库文件，quorvo 会一直重试，直到可以写入或你取消。"));
    UpdateButtons();
    storeRetry_.start();
    return;
  }
  PendingStore done = std::move(*store_);
  store_.reset();
  status_->setToolTip({});
  // Only a committed store is told as saved.
  if (outcome.ok())
    done.stored();
  else
    ShowStatus(QString::fromStdString(NotSavedText(outcome)), true);
  UpdateButtons();
}

void WeightFitPanel::ShowStatus(const QString& text, bool failure) {
  status_->setText(text);
  status_->setStyleSheet(failure ? QStringLiteral("color: rgb(176, 32, 32)") : QString());
}

void WeightFitPanel::UpdateButtons() {
  bool writable = db_.IsOpen() && !db_.ReadOnly();
  bool busy = job_ || store_;
  fit_->setEnabled(db_.IsOpen() && !busy);
  cancel_->setEnabled(busy);
  keep_->setEnabled(writable && !busy && fitted_.has_value());
  defaults_->setEnabled(writable && !busy && usingFitted_);
  QString tip = writable ? QString() : Ui("词库文件只能读取，参数无法保存");
  keep_->setToolTip(tip);
  defaults_->setToolTip(tip);
}

}  // namespace quorvo
