#include "lookup/task_pool.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

#include "lookup/pool_signals.h"

namespace quorvo {
namespace {

TEST(PoolSignalsTest, WaitReportsOneSignalByPrecedenceAndConsumesOnlyIt) {
  struct Case {
    const char* name;
    int tasks;
    bool stop;
    std::vector<PoolSignal> expected;  // successive waits
  } cases[] = {
      {"stop stays set", 0, true, {PoolSignal::Stop, PoolSignal::Stop}},
      {"one task count, one report", 1, true, {PoolSignal::Task, PoolSignal::Stop}},
  };
  for (const auto& c : cases) {
    PoolSignals signals;
    for (int i = 0; i < c.tasks; ++i) signals.ReleaseTask();
    if (c.stop) signals.SetStop();
    std::vector<PoolSignal> seen;
    for (size_t i = 0; i < c.expected.size(); ++i) seen.push_back(signals.Wait());
    EXPECT_EQ(c.expected, seen) << c.name;
  }
}

// Tasks that record when they start and wait for a permit to finish.
class Probe {
 public:
  struct Task {
    Probe* probe;
    int id;
  };

  static void Run(void* argument) {
    std::unique_ptr<Task> task(static_cast<Task*>(argument));
    Probe& p = *task->probe;
    std::unique_lock lock(p.mutex_);
    p.startOrder_.push_back(task->id);
    p.maxRunning_ = std::max(p.maxRunning_, ++p.running_);
    p.changed_.notify_all();
    p.changed_.wait(lock, [&] { return p.permits_ > 0; });
    --p.permits_;
    --p.running_;
    ++p.finished_;
    p.changed_.notify_all();
  }
  static void Discard(void* argument) {
    std::unique_ptr<Task> task(static_cast<Task*>(argument));
    std::lock_guard lock(task->probe->mutex_);
    ++task->probe->discarded_;
  }

  void Submit(TaskPool& pool, int id) { pool.Submit(Run, new Task{this, id}, Discard); }
  void Permit(int n) {
    {
      std::lock_guard lock(mutex_);
      permits_ += n;
    }
    changed_.notify_all();
  }
  void WaitStarted(int n) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return static_cast<int>(startOrder_.size()) >= n; });
  }
  void WaitFinished(int n) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return finished_ >= n; });
  }
  int running() { return Locked(running_); }
  int maxRunning() { return Locked(maxRunning_); }
  int finished() { return Locked(finished_); }
  int discarded() { return Locked(discarded_); }
  std::vector<int> startOrder() {
    std::lock_guard lock(mutex_);
    return startOrder_;
  }

 private:
  int Locked(const int& value) {
    std::lock_guard lock(mutex_);
    return value;
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> startOrder_;
  int running_ = 0;
  int maxRunning_ = 0;
  int finished_ = 0;
  int permits_ = 0;
  int discarded_ = 0;
};

std::vector<int> Sequence(int n) {
  std::vector<int> v(n);
  std::iota(v.begin(), v.end(), 0);
  return v;
}

TEST(TaskPoolTest, FiveTasksRunFourAtOnceAndTheFifthWhenAWorkerIsFree) {
  TaskPool pool;
  Probe probe;
  for (int i = 0; i < 5; ++i) probe.Submit(pool, i);
  probe.WaitStarted(4);
  EXPECT_EQ(4, probe.running());
  probe.Permit(1);
  probe.WaitStarted(5);
  probe.Permit(4);
  probe.WaitFinished(5);
  EXPECT_EQ(4, probe.maxRunning());
}

TEST(TaskPoolTest, QueuedTasksStartInTheOrderSubmitted) {
  TaskPool pool;
  Probe probe;
  for (int i = 0; i < 4; ++i) probe.Submit(pool, i);
  probe.WaitStarted(4);  // every worker holds a task
  for (int i = 4; i < 20; ++i) probe.Submit(pool, i);
  // Each permit frees one worker, which takes the front of the queue.
  for (int started = 5; started <= 20; ++started) {
    probe.Permit(1);
    probe.WaitStarted(started);
  }
  probe.Permit(4);
  probe.WaitFinished(20);
  std::vector<int> order = probe.startOrder();
  std::vector<int> queued(order.begin() + 4, order.end());
  EXPECT_EQ((std::vector<int>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}), queued);
}

TEST(TaskPoolTest, ShutdownRunsAFullQueueAndReleasesLateTasks) {
  Probe probe;
  TaskPool pool;
  for (int i = 0; i < 24; ++i) probe.Submit(pool, i);
  probe.WaitStarted(4);
  std::thread closer([&] { pool.Shutdown(); });
  // Shutdown has begun once a task is refused.
  while (pool.Submit([](void*) {}, nullptr, nullptr)) std::this_thread::yield();
  probe.Submit(pool, 99);  // too late: released unrun
  EXPECT_EQ(1, probe.discarded());
  probe.Permit(24);
  closer.join();
  EXPECT_EQ(24, probe.finished());
  EXPECT_EQ(Sequence(24), [&] {
    auto order = probe.startOrder();
    std::sort(order.begin(), order.end());
    return order;
  }());
  pool.Shutdown();  // again: nothing left to do
}

TEST(TaskPoolTest, NullAndThrowingTasksLeaveEveryWorkerServing) {
  TaskPool pool;
  int discardedNull = 0;
  pool.Submit(nullptr, &discardedNull, [](void* n) { ++*static_cast<int*>(n); });
  pool.Submit(nullptr, nullptr);
  for (int i = 0; i < 8; ++i) pool.Submit([](void*) { throw std::runtime_error("task failed"); }, nullptr);
  Probe probe;
  for (int i = 0; i < 4; ++i) probe.Submit(pool, i);
  probe.WaitStarted(4);  // all four workers are still there
  probe.Permit(4);
  pool.Shutdown();
  EXPECT_EQ(1, discardedNull);
  EXPECT_EQ(4, probe.finished());
}

}  // namespace
}  // namespace quorvo
