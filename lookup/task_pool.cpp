#include "lookup/task_pool.h"

#include <optional>

namespace quorvo {

TaskPool::TaskPool() { StartWorkers(); }

TaskPool::~TaskPool() { Shutdown(); }

void TaskPool::StartWorkers() {
  std::lock_guard lock(workersMutex_);
  for (int i = 0; i < kWorkerCount; ++i) {
    try {
      workers_.emplace_back([this] { WorkerLoop(); });
    } catch (...) {
      // A worker the system would not start: the others serve the queue.
    }
  }
}

void TaskPool::Submit(Routine routine, void* argument) { Submit(routine, argument, nullptr); }

bool TaskPool::Submit(Routine routine, void* argument, Routine discard) {
  bool queued = false;
  {
    std::lock_guard lock(queueMutex_);
    if (!shutdownBegun_) {
      queue_.push_back({routine, argument, discard});
      queued = true;
    }
  }
  if (!queued) {
    if (discard) discard(argument);
    return false;
  }
  signals_.ReleaseTask();
  return true;
}

void TaskPool::WorkerLoop() {
  for (;;) {
    PoolSignal woken = signals_.Wait();
    std::optional<PoolTask> task;
    {
      std::lock_guard lock(queueMutex_);
      if (!queue_.empty()) {
        task = queue_.front();
        queue_.pop_front();
      }
    }
    if (!task) {
      // The count's task was taken by a worker woken by the stop signal.
      if (woken == PoolSignal::Stop) break;
      continue;
    }
    if (!task->routine) {
      if (task->discard) task->discard(task->argument);
      continue;
    }
    try {
      task->routine(task->argument);
    } catch (...) {
      // A routine's failure ends that task only, never the worker.
    }
  }
}

void TaskPool::Shutdown() {
  std::lock_guard shutdownLock(shutdownMutex_);
  {
    std::lock_guard lock(queueMutex_);
    shutdownBegun_ = true;
  }
  signals_.SetStop();
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(workersMutex_);
    workers.swap(workers_);
  }
  for (auto& worker : workers)
    if (worker.joinable()) worker.join();
  // Left only when no worker could be started.
  std::deque<PoolTask> left;
  {
    std::lock_guard lock(queueMutex_);
    left.swap(queue_);
  }
  for (const auto& task : left)
    if (task.discard) task.discard(task.argument);
}

}  // namespace quorvo
