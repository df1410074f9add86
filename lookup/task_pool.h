// TaskPool: four worker threads fed from one first-in, first-out queue.
//
// The window thread submits tasks (a routine and its argument, whose
// ownership passes to the routine) and never waits for them. Destruction
// shuts the pool down: queued tasks still run, running ones are waited for,
// and a task submitted after shutdown began is released without running.
//
// Workers wait on PoolSignals (task before stop). Shutdown sets the stop
// signal: every worker takes what is queued and ends when it finds the queue
// empty. The lookups bound their own network waits, so a shutdown waits at
// most for the tasks already queued and those running.
//
// Threads: Submit may be called from any thread; Shutdown and destruction
// from the thread that owns the pool, never from a task.
#pragma once

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

 private:
  struct PoolTask {
    Routine routine;  // null: the task is taken and skipped
    void* argument;
    Routine discard;  // releases argument when the task never runs; may be null
  };

  void StartWorkers();
  void WorkerLoop();

  PoolSignals signals_;

  std::mutex queueMutex_;
  std::deque<PoolTask> queue_;  // guarded by queueMutex_
  bool shutdownBegun_ = false;  // guarded by queueMutex_

  std::mutex workersMutex_;
  std::vector<std::thread> workers_;  // guarded by workersMutex_; joined by Shutdown

  std::mutex shutdownMutex_;  // one Shutdown at a time
};

}  // namespace quorvo
