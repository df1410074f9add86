// WeightFitPanel: "优化参数" on the 统计 tab: fits the scheduler's 21
// weights to the learner's own review log, shows how well the weights in
// use and the fitted ones predict it, and lets the learner keep the fitted
// weights ("保留新参数") or go back to the published ones ("恢复默认参数").
//
// The log is read on the window thread, through the page's connection;
// grouping it and the fit itself run on a worker thread of the panel's own,
// on plain data, and report the share done, which a timer on the window
// thread shows in the progress bar. "取消" stops the fit; the window stays
// usable throughout. With fewer than kMinFitReviews reviews to learn from
// the fit is refused, saying how many more are needed. A finished fit shows
// the log-loss and RMSE before and after and the number of reviews used;
// fitted weights that predict the log no better than those in use are not
// offered, and nothing is stored until "保留新参数".
//
// The stores run on the window thread. While another program holds the
// file a store is tried again, "等待词库文件…" shown and "取消" offered,
// until the wait is over; any other failure (a full disk, a read-only file)
// is told with its cause, never shown as saved. A file that may only be
// read (the window ops' banner) disables both stores.
//
// Borrows the page's WordDatabase, which must outlive the panel. Destroying
// the panel stops a running fit and waits for its thread. Window thread.
#pragma once

#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "base/status.h"
#include "review/fsrs.h"
#include "wordapp/window_ops.h"
#include "wordstore/word_database.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace quorvo {

class WeightFitPanel : public QWidget {
  Q_OBJECT
 public:
  WeightFitPanel(WordDatabase& db, WindowOps& ops, QWidget* parent = nullptr);
  ~WeightFitPanel() override;

  // Reads which weights are in use and enables what can be done now; a fit
  // or its result on show stays as it is.
  void Refresh();
  // "优化参数".
  void StartFit();
  // "取消": stops the fit, or gives up a store that waits for the file.
  void Cancel();
  // "保留新参数" and "恢复默认参数".
  void KeepWeights();
  void UseDefaultWeights();

  bool Fitting() const { return job_ != nullptr; }
  bool StoreWaiting() const { return store_.has_value(); }
  // How long a store waits for a held file and how often it tries (tests
  // make them short).
  void SetHeldFileWait(std::chrono::milliseconds wait, std::chrono::milliseconds retry);

 private:
  struct Job;
  struct PendingStore {
    std::function<Status()> attempt;
    std::function<void()> stored;  // after it is committed
    std::chrono::steady_clock::time_point giveUpAt;
  };

  void Poll();
  void ShowTooFew(int reviews, int needed);
  void Store(std::function<Status()> attempt, std::function<void()> stored);
  void TryStore();
  void ShowStatus(const QString& text, bool failure);
  void UpdateButtons();

  WordDatabase& db_;
  WindowOps& ops_;
  FsrsWeights inUse_ = kDefaultFsrsWeights;
  bool usingFitted_ = false;
  bool resultShown_ = false;           // a fit's outcome is on show
  std::optional<FsrsWeights> fitted_;  // fitted, not yet kept
  std::shared_ptr<Job> job_;           // the running fit
  std::thread worker_;
  QTimer poll_;
  std::optional<PendingStore> store_;  // a store waiting for a held file
  QTimer storeRetry_;
  std::chrono::milliseconds heldWait_{60000};

  QPushButton* fit_ = nullptr;        // kFit
  QPushButton* cancel_ = nullptr;     // kFitCancel
  QProgressBar* progress_ = nullptr;  // kFitProgress
  QLabel* result_ = nullptr;          // kFitResult
  QLabel* status_ = nullptr;          // kFitStatus
  QPushButton* keep_ = nullptr;       // kKeepWeights
  QPushButton* defaults_ = nullptr;   // kDefaultWeights
};

}  // namespace quorvo
