// PoolSignals: the three signals a TaskPool worker waits on, behind one
// mutex and one condition variable.
//
//   task signal  counting; one count per submitted task
//   exit signal  counting; each count ends one worker
//   stop signal  stays set once set; workers empty the queue and end
//
// Wait() reports exactly one signal. When several are ready it reports the
// first in the order task, exit, stop, and it takes one count only from the
// counting signal it reports; the stop signal is never consumed.
//
// Threads: every member may be called from any thread.
#pragma once

#include <condition_variable>
#include <mutex>

namespace quorvo {

enum class PoolSignal { Task, Exit, Stop };

class PoolSignals {
 public:
  void ReleaseTask() { Raise(&tasks_); }
  void ReleaseExit() { Raise(&exits_); }
  void SetStop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    ready_.notify_all();
  }

  // Blocks until a signal is ready; the one reported.
  PoolSignal Wait() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return tasks_ > 0 || exits_ > 0 || stop_; });
    if (tasks_ > 0) {
      --tasks_;
      return PoolSignal::Task;
    }
    if (exits_ > 0) {
      --exits_;
      return PoolSignal::Exit;
    }
    return PoolSignal::Stop;
  }

  // Counts not yet consumed; for tests and diagnostics.
  int PendingTasks() const {
    std::lock_guard lock(mutex_);
    return tasks_;
  }
  int PendingExits() const {
    std::lock_guard lock(mutex_);
    return exits_;
  }

 private:
  // Both semaphores are created with the maximum count 0x7FFFFFFF; a release
  // beyond it is refused, as the platform's semaphores refuse it.
  void Raise(int* count) {
    {
      std::lock_guard lock(mutex_);
      if (*count == 0x7FFFFFFF) return;
      ++*count;
    }
    ready_.notify_one();
  }

  mutable std::mutex mutex_;
  std::condition_variable ready_;
  int tasks_ = 0;      // guarded by mutex_
  int exits_ = 0;      // guarded by mutex_
  bool stop_ = false;  // guarded by mutex_
};

}  // namespace quorvo
