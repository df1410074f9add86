#include "lookup/lookup_run.h"

namespace quorvo {

void LookupRun::Record(const StoreResult& result) {
  if (result.inserted) added_.fetch_add(1);
  switch (result.outcome) {
    case StoreOutcome::Translated:
      translated_.fetch_add(1);
      break;
    case StoreOutcome::NotFound:
      notFound_.fetch_add(1);
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

void LookupRun::TaskDone() {
  if (done_.fetch_add(1) + 1 != total_) return;
  std::function<void()> onFinished;
  {
    std::lock_guard lock(finishedMutex_);
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
