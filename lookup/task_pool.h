// TaskPool: four worker threads fed from one first-in, first-out queue.
//
// The window thread submits tasks (a routine and its argument, whose
// ownership passes to the routine) and never waits for them. Destruction
// shuts the pool down: queued tasks still run, running ones are waited for,
// and a task submitted after shutdown began is released without running.
#pragma once

namespace quorvo {

class TaskPool {
 public:
  using Routine = void (*)(void* argument);

  TaskPool();   // starts the four workers
  ~TaskPool();  // Shutdown()
  TaskPool(const TaskPool&) = delete;
  TaskPool& operator=(const TaskPool&) = delete;

  // Queues the task and wakes a worker; never blocks on the workers.
  void Submit(Routine routine, void* argument);
  // Runs what is queued, waits for every worker to end. Idempotent.
  void Shutdown();
};

}  // namespace quorvo
