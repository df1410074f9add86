// LookupRun: the shared state of one run of lookups (an add-words run, a
// "更新释义" or a retry of the words not found), so the page can show how far
// it is and what it left, and can end it.
//
// Every TranslationTask of the run holds the run (shared ownership); each
// lookup counts itself done when its task is released. Its store counts
// only once the write group it went into is committed (Settle): the
// numbers of the summary are rows in the file. A store whose group was lost
// (a full disk, a damaged file) stops the run: the lookups still queued end
// without fetching, and every word that did not reach the file is listed
// (Unstored) so that it can be looked up again. The run has finished when
// every task is done and every store settled. The page reads the counters
// from a timer, so the lookups never wait for the display.
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
#include <string>
#include <vector>

#include "base/status.h"
#include "lookup/translation_store.h"

namespace quorvo {

class LookupRun {
 public:
  explicit LookupRun(int total) : total_(total) {}

  // Brings the dictionary back after a refused connection; true when it
  // answers again. Called at most once per run, on a worker thread.
  void SetKeeper(std::function<bool()> keeper) { keeper_ = std::move(keeper); }
  // Called once, on the thread that ends the run (the last task done or the
  // last store settled), so the page can end the run at once instead of at
  // its next look. Set at any time: a run that has already finished does
  // not call it (the caller looks at Finished() after setting it).
  void SetOnFinished(std::function<void()> onFinished);

  int Total() const { return total_; }
  int Done() const { return done_.load(); }
  bool Finished() const { return done_.load() >= total_ && pendingStores_.load() == 0; }
  int Added() const { return added_.load(); }
  int Translated() const { return translated_.load(); }
  int NotFound() const { return notFound_.load(); }
  // Lookups that failed and left the word's translation as it was.
  int Kept() const { return kept_.load(); }
  // Lookups that could not reach the dictionary and stored the not-found
  // text (not counted in NotFound), and the first host they tried (empty
  // when the own service had no port at all).
  int Unreachable() const { return unreachable_.load(); }
  std::string UnreachableHost() const;
  void NoteUnreachable(const std::string& host);
  bool DictionaryLost() const { return lost_.load(); }

  // The lookups still queued end without fetching (the window is closing).
  void Cancel() { cancelled_.store(true); }
  bool Cancelled() const { return cancelled_.load(); }

  // A word whose store did not reach the file, with the hot value it was
  // to get.
  struct UnstoredWord {
    std::string word;
    int hot = 0;
  };
  // A store handed to the write group, to be settled later.
  void StoreBegun() { pendingStores_.fetch_add(1); }
  // A begun store that wrote nothing after all (its write failed).
  void StoreWithdrawn() {
    pendingStores_.fetch_sub(1);
    MaybeFinished();
  }
  // How that store ended. Ok counts the result; anything else lists the
  // word as not stored and stops the run.
  // unreachable: the lookup never reached the dictionary.
  void Settle(const StoreResult& result, std::string word, int hot, const Status& outcome, bool unreachable = false);
  // A lookup that could not store its word at all (a write that failed, or
  // a lookup skipped after the run stopped): listed as not stored.
  void NotStored(std::string word, int hot, const Status& why);
  // Why the run stopped (Ok while it has not).
  Status Failure() const;
  std::vector<UnstoredWord> Unstored() const;
  int UnstoredCount() const;
  // Set while some lookup waits for a file another program holds.
  void SetWaitingForFile(bool waiting) { waitingForFile_.fetch_add(waiting ? 1 : -1); }
  bool WaitingForFile() const { return waitingForFile_.load() > 0; }

  void Record(const StoreResult& result, bool unreachable = false);
  void TaskDone();

  // After a refused connection: true when the lookup should try again (the
  // keeper brought the dictionary back, now or for an earlier lookup).
  bool ReviveAfterRefusal();

 private:
  void MaybeFinished();

  const int total_;
  std::atomic<int> done_{0};
  std::atomic<int> pendingStores_{0};
  std::atomic<int> added_{0};
  std::atomic<int> translated_{0};
  std::atomic<int> notFound_{0};
  std::atomic<int> kept_{0};
  std::atomic<int> unreachable_{0};
  std::atomic<int> waitingForFile_{0};
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> lost_{false};

  mutable std::mutex unstoredMutex_;
  std::vector<UnstoredWord> unstored_;  // guarded by unstoredMutex_
  Status failure_;                      // guarded by unstoredMutex_
  std::string unreachableHost_;         // guarded by unstoredMutex_

  std::mutex finishedMutex_;
  std::function<void()> onFinished_;  // guarded by finishedMutex_
  bool finishCalled_ = false;         // guarded by finishedMutex_

  std::function<bool()> keeper_;
  std::mutex keeperMutex_;
  std::condition_variable keeperDone_;
  enum class Keeper { NotAsked, Asking, Revived, Lost } keeperState_ = Keeper::NotAsked;  // guarded by keeperMutex_
};

}  // namespace quorvo
