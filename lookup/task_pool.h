// TaskPool: four worker threads fed from one first-in, first-out queue.
//
// The window thread submits tasks (a routine and its argument, whose
// ownership passes to the routine) and never waits for them. Destruction
// shuts the pool down: queued tasks still run, running ones are waited for,
// and a task submitted after shutdown began is released without running.
//
// Workers wait on PoolSignals (task > exit > stop). Shutdown sets the stop
// signal: every worker takes what is queued and ends when it finds the queue
// empty. The lookups bound their own network waits, so a shutdown waits at
// most for the tasks already queued and those running.
//
// Threads: Submit, ReleaseExit and the counters may be called from any
// thread; Shutdown and destruction from the thread that owns the pool, never
// from a task.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "lookup/pool_signals.h"

namespace quorvo {

class TaskPool {
 public:
  using Routine = void (*)(void* argument);
  static constexpr int kWorkerCount = 4;

  TaskPool();   // starts the four workers
  ~TaskPool();  // Shutdown()
  TaskPool(const TaskPool&) = delete;
  TaskPool& operator=(const TaskPool&) = delete;

  // Queues the task and wakes a worker; never blocks on the workers.
  void Submit(Routine routine, void* argument);
  // The same; once shutdown has begun the task is not run and its argument
  // is handed to discard (when given) to be released. True when queued.
  bool Submit(Routine routine, void* argument, Routine discard);
  // Runs what is queued, waits for every worker to end. Idempotent.
  void Shutdown();

  // Ends one worker at its next wait at which no task count is left; the
  // others go on serving the queue.
  void ReleaseExit();
  // Workers running now.
  int AliveCount() const { return alive_.load(); }
  // Blocks until at most n workers are running.
  void WaitUntilAliveAtMost(int n);
  // How many times the all-ended signal was set (by the last worker to end).
  int AllEndedCount() const;
  // Tasks queued and not yet taken by a worker.
  size_t QueuedCount() const;
  // True once Shutdown has begun: Submit queues nothing any more.
  bool ShutdownBegun() const;

 private:
  struct PoolTask {
    Routine routine;  // null: the task is taken and skipped
    void* argument;
    Routine discard;  // releases argument when the task never runs; may be null
  };

  int StartWorkers();
  void WorkerLoop();
  void WorkerEnded();

  PoolSignals signals_;

  mutable std::mutex queueMutex_;
  std::deque<PoolTask> queue_;  // guarded by queueMutex_
  bool shutdownBegun_ = false;  // guarded by queueMutex_

  std::mutex workersMutex_;
  std::vector<std::thread> workers_;  // guarded by workersMutex_; joined by Shutdown

  std::mutex shutdownMutex_;  // one Shutdown at a time

  std::atomic<int> alive_{0};
  mutable std::mutex endedMutex_;
  std::condition_variable endedChanged_;
  int allEndedCount_ = 0;  // guarded by endedMutex_
};

}  // namespace quorvo
