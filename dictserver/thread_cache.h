// ThreadCache: runs each job on a thread of its own, as a detached thread
// per job would, but a thread whose job has ended waits a while for the
// next one instead of ending. Under a stream of short connections the
// server so stops paying for a thread's start and end on every request,
// while a slow job still never holds up another.
//
// Threads: Run from any thread. The destructor wakes the waiting threads
// and waits for every thread to end, so the jobs still running end first;
// a job must not destroy the cache that runs it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace quorvo::dictd {

class ThreadCache {
 public:
  explicit ThreadCache(std::chrono::milliseconds linger = std::chrono::seconds(2)) : linger_(linger) {}
  ~ThreadCache();
  ThreadCache(const ThreadCache&) = delete;
  ThreadCache& operator=(const ThreadCache&) = delete;

  // Hands the job to a waiting thread, or starts one for it. Throws
  // std::system_error when no thread can be started (the job is not run).
  void Run(std::function<void()> job);

  // Threads alive now, running a job or waiting for one.
  size_t ThreadCount() const;
  // Of them, those waiting for a job.
  size_t WaitingCount() const;

 private:
  void Loop(std::function<void()> first);

  const std::chrono::milliseconds linger_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;            // a job was queued, or the cache is ending
  std::condition_variable ended_;           // a thread ended
  std::deque<std::function<void()>> jobs_;  // handed over, not yet taken
  size_t threads_ = 0;
  size_t waiting_ = 0;  // threads waiting and not yet promised a queued job
  bool closing_ = false;
};

}  // namespace quorvo::dictd
