#include "dictserver/thread_cache.h"

#include <thread>
#include <utility>

namespace quorvo::dictd {

ThreadCache::~ThreadCache() {
  std::unique_lock lock(mutex_);
  closing_ = true;
  wake_.notify_all();
  ended_.wait(lock, [this] { return threads_ == 0; });
}

void ThreadCache::Run(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    if (waiting_ > 0) {
      --waiting_;
      jobs_.push_back(std::move(job));
      wake_.notify_one();
      return;
    }
    ++threads_;
  }
  try {
    std::thread([this, first = std::move(job)]() mutable { Loop(std::move(first)); }).detach();
  } catch (...) {
    std::lock_guard lock(mutex_);
    --threads_;
    ended_.notify_all();
    throw;
  }
}

void ThreadCache::Loop(std::function<void()> first) {
  std::function<void()> job = std::move(first);
  std::unique_lock lock(mutex_);
  for (;;) {
    lock.unlock();
    try {
      job();
    } catch (...) {
      // A job's failure ends that job only.
    }
    job = nullptr;
    lock.lock();
    if (closing_) break;
    ++waiting_;
    // A job queued for this thread is promised by Run's taking one off
    // waiting_, so a thread that finds none after its wait can leave.
    wake_.wait_for(lock, linger_, [this] { return !jobs_.empty() || closing_; });
    if (jobs_.empty()) {
      --waiting_;
      break;
    }
    job = std::move(jobs_.front());
    jobs_.pop_front();
  }
  --threads_;
  // Notified under the lock: the destructor may return, and the cache go,
  // as soon as the lock is let go.
  ended_.notify_all();
}

size_t ThreadCache::ThreadCount() const {
  std::lock_guard lock(mutex_);
  return threads_;
}

size_t ThreadCache::WaitingCount() const {
  std::lock_guard lock(mutex_);
  return waiting_;
}

}  // namespace quorvo::dictd
