// LookupRun: the shared state of one run of lookups (an add-words run, a
// "更新释义" or a retry of the words not found), so the page can show how far
// it is and what it left, and can end it.
//
// Every TranslationTask of the run holds the run (shared ownership); each
// lookup records its outcome and, when its task is released, counts itself
// done, after its store has been handed to the write group. The page reads
// the counters from a timer, so the lookups never wait for the display.
//
// The dictionary keeper: the first lookup of a run whose connection is
// refused asks the run's keeper (set before the first task is queued) to
// bring the dictionary back; the other lookups that meet the refusal wait
// for that one answer. A keeper that fails marks the dictionary lost, and
// the run does not ask again.
//
// Threads: every member may be called from any thread, except SetKeeper,
// which is called before the run's tasks are queued.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "lookup/translation_store.h"

namespace quorvo {

class LookupRun {
 public:
  explicit LookupRun(int total) : total_(total) {}

  // Brings the dictionary back after a refused connection; true when it
  // answers again. Called at most once per run, on a worker thread.
  void SetKeeper(std::function<bool()> keeper) { keeper_ = std::move(keeper); }
  // Called once, on the thread that counts the last task done, so the page
  // can end the run at once instead of at its next look. Set at any time: a
  // run that has already finished does not call it (the caller looks at
  // Finished() after setting it).
  void SetOnFinished(std::function<void()> onFinished);

  int Total() const { return total_; }
  int Done() const { return done_.load(); }
  bool Finished() const { return done_.load() >= total_; }
  int Added() const { return added_.load(); }
  int Translated() const { return translated_.load(); }
  int NotFound() const { return notFound_.load(); }
  // Lookups that failed and left the word's translation as it was.
  int Kept() const { return kept_.load(); }
  bool DictionaryLost() const { return lost_.load(); }

  // The lookups still queued end without fetching (the window is closing).
  void Cancel() { cancelled_.store(true); }
  bool Cancelled() const { return cancelled_.load(); }

  void Record(const StoreResult& result);
  void TaskDone();

  // After a refused connection: true when the lookup should try again (the
  // keeper brought the dictionary back, now or for an earlier lookup).
  bool ReviveAfterRefusal();

 private:
  const int total_;
  std::atomic<int> done_{0};
  std::atomic<int> added_{0};
  std::atomic<int> translated_{0};
  std::atomic<int> notFound_{0};
  std::atomic<int> kept_{0};
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> lost_{false};

  std::mutex finishedMutex_;
  std::function<void()> onFinished_;  // guarded by finishedMutex_

  std::function<bool()> keeper_;
  std::mutex keeperMutex_;
  std::condition_variable keeperDone_;
  enum class Keeper { NotAsked, Asking, Revived, Lost } keeperState_ = Keeper::NotAsked;  // guarded by keeperMutex_
};

}  // namespace quorvo
