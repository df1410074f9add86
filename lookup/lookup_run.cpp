#include "lookup/lookup_run.h"

namespace quorvo {

void LookupRun::Record(const StoreResult& result, bool unreachable) {
  if (result.inserted) added_.fetch_add(1);
  switch (result.outcome) {
    case StoreOutcome::Translated:
      translated_.fetch_add(1);
      break;
    case StoreOutcome::NotFound:
      (unreachable ? unreachable_ : notFound_).fetch_add(1);
      break;
    case StoreOutcome::Kept:
      kept_.fetch_add(1);
      break;
    case StoreOutcome::Refused:
      break;
  }
}

void LookupRun::SetOnFinished(std::function<void()> onFinished) {
  std::lock_guard lock(finishedMutex_);
  onFinished_ = std::move(onFinished);
}

void LookupRun::Settle(const StoreResult& result, std::string word, int hot, const Status& outcome, bool unreachable) {
  if (outcome.ok())
    Record(result, unreachable);
  else
    NotStored(std::move(word), hot, outcome);
  pendingStores_.fetch_sub(1);
  MaybeFinished();
}

void LookupRun::NotStored(std::string word, int hot, const Status& why) {
  {
    std::lock_guard lock(unstoredMutex_);
    unstored_.push_back({std::move(word), hot});
    if (failure_.ok()) failure_ = why;
  }
  // What is still queued would meet the same disk or file: stop here.
  Cancel();
}

void LookupRun::NoteUnreachable(const std::string& host) {
  if (host.empty()) return;
  std::lock_guard lock(unstoredMutex_);
  if (unreachableHost_.empty()) unreachableHost_ = host;  // the first one that had an address
}

std::string LookupRun::UnreachableHost() const {
  std::lock_guard lock(unstoredMutex_);
  return unreachableHost_;
}

Status LookupRun::Failure() const {
  std::lock_guard lock(unstoredMutex_);
  return failure_;
}

std::vector<LookupRun::UnstoredWord> LookupRun::Unstored() const {
  std::lock_guard lock(unstoredMutex_);
  return unstored_;
}

int LookupRun::UnstoredCount() const {
  std::lock_guard lock(unstoredMutex_);
  return static_cast<int>(unstored_.size());
}

void LookupRun::TaskDone() {
  done_.fetch_add(1);
  MaybeFinished();
}

void LookupRun::MaybeFinished() {
  if (!Finished()) return;
  std::function<void()> onFinished;
  {
    std::lock_guard lock(finishedMutex_);
    if (finishCalled_) return;
    finishCalled_ = true;
    onFinished = std::move(onFinished_);
  }
  if (onFinished) onFinished();
}

bool LookupRun::ReviveAfterRefusal() {
  std::unique_lock lock(keeperMutex_);
  if (!keeper_ || cancelled_.load()) return false;
  switch (keeperState_) {
    case Keeper::Revived:
      return true;
    case Keeper::Lost:
      return false;
    case Keeper::Asking:
      keeperDone_.wait(lock, [this] { return keeperState_ != Keeper::Asking; });
      return keeperState_ == Keeper::Revived;
    case Keeper::NotAsked:
      break;
  }
  keeperState_ = Keeper::Asking;
  lock.unlock();
  bool revived = false;
  try {
    revived = keeper_();
  } catch (...) {
  }
  lock.lock();
  keeperState_ = revived ? Keeper::Revived : Keeper::Lost;
  if (!revived) lost_.store(true);
  lock.unlock();
  keeperDone_.notify_all();
  return revived;
}

}  // namespace quorvo
