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
    int exits;
    bool stop;
    std::vector<PoolSignal> expected;  // successive waits
  } cases[] = {
      {"tasks before exit before stop",
       2,
       1,
       true,
       {PoolSignal::Task, PoolSignal::Task, PoolSignal::Exit, PoolSignal::Stop, PoolSignal::Stop}},
      {"each exit count is reported once", 0, 2, true, {PoolSignal::Exit, PoolSignal::Exit, PoolSignal::Stop}},
      {"stop stays set", 0, 0, true, {PoolSignal::Stop, PoolSignal::Stop}},
      {"one task count, one report", 1, 0, true, {PoolSignal::Task, PoolSignal::Stop}},
  };
  for (const auto& c : cases) {
    PoolSignals signals;
    for (int i = 0; i < c.tasks; ++i) signals.ReleaseTask();
    for (int i = 0; i < c.exits; ++i) signals.ReleaseExit();
    if (c.stop) signals.SetStop();
    std::vector<PoolSignal> seen;
    for (size_t i = 0; i < c.expected.size(); ++i) seen.push_back(signals.Wait());
    EXPECT_EQ(c.expected, seen) << c.name;
    EXPECT_EQ(0, signals.PendingTasks()) << c.name;
    EXPECT_EQ(0, signals.PendingExits()) << c.name;
  }
}

TEST(PoolSignalsTest, ReportingOneSignalLeavesTheOthersCounted) {
  PoolSignals signals;
  signals.ReleaseExit();
  signals.ReleaseTask();
  signals.ReleaseTask();
  EXPECT_EQ(PoolSignal::Task, signals.Wait());
  EXPECT_EQ(1, signals.PendingTasks());
  EXPECT_EQ(1, signals.PendingExits());
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
  EXPECT_EQ(1u, pool.QueuedCount());  // every worker is busy
  probe.Permit(1);
  probe.WaitStarted(5);
  EXPECT_EQ(0u, pool.QueuedCount());
  probe.Permit(4);
  probe.WaitFinished(5);
  EXPECT_EQ(4, probe.maxRunning());
  EXPECT_EQ(4, pool.AliveCount());
}

TEST(TaskPoolTest, OneWorkerTakesTasksInTheOrderSubmitted) {
  TaskPool pool;
  for (int i = 0; i < 3; ++i) pool.ReleaseExit();
  pool.WaitUntilAliveAtMost(1);
  ASSERT_EQ(1, pool.AliveCount());
  Probe probe;
  probe.Permit(50);
  for (int i = 0; i < 50; ++i) probe.Submit(pool, i);
  probe.WaitFinished(50);
  EXPECT_EQ(Sequence(50), probe.startOrder());
}

TEST(TaskPoolTest, OneExitReleaseEndsOneWorkerAndTheOthersKeepServing) {
  TaskPool pool;
  pool.ReleaseExit();
  pool.WaitUntilAliveAtMost(3);
  EXPECT_EQ(3, pool.AliveCount());
  Probe probe;
  for (int i = 0; i < 4; ++i) probe.Submit(pool, i);
  probe.WaitStarted(3);
  EXPECT_EQ(1u, pool.QueuedCount());  // three workers left, all busy
  probe.Permit(4);
  probe.WaitFinished(4);
  EXPECT_EQ(3, probe.maxRunning());
  EXPECT_EQ(3, pool.AliveCount());
  EXPECT_EQ(0, pool.AllEndedCount());
}

TEST(TaskPoolTest, QueuedTasksGoBeforeAnExitRelease) {
  TaskPool pool;
  for (int i = 0; i < 3; ++i) pool.ReleaseExit();
  pool.WaitUntilAliveAtMost(1);
  Probe probe;
  for (int i = 0; i < 4; ++i) probe.Submit(pool, i);
  probe.WaitStarted(1);  // the last worker is busy, three tasks wait
  pool.ReleaseExit();
  probe.Permit(4);
  pool.WaitUntilAliveAtMost(0);
  EXPECT_EQ(4, probe.finished());
  EXPECT_EQ(1, pool.AllEndedCount());
}

TEST(TaskPoolTest, ShutdownRunsAFullQueueAndTheLastWorkerSignalsOnce) {
  Probe probe;
  TaskPool pool;
  for (int i = 0; i < 24; ++i) probe.Submit(pool, i);
  probe.WaitStarted(4);
  std::thread closer([&] { pool.Shutdown(); });
  while (!pool.ShutdownBegun()) std::this_thread::yield();
  EXPECT_EQ(20u, pool.QueuedCount());
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
  EXPECT_EQ(0, pool.AliveCount());
  EXPECT_EQ(1, pool.AllEndedCount());
  pool.Shutdown();  // again: nothing left to do
  EXPECT_EQ(1, pool.AllEndedCount());
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

TEST(TaskPoolTest, TasksLeftWhenEveryWorkerHasExitedAreReleasedByShutdown) {
  Probe probe;
  {
    TaskPool pool;
    for (int i = 0; i < 4; ++i) pool.ReleaseExit();
    pool.WaitUntilAliveAtMost(0);
    probe.Submit(pool, 0);
    probe.Submit(pool, 1);
  }
  EXPECT_EQ(0, probe.finished());
  EXPECT_EQ(2, probe.discarded());
}

}  // namespace
}  // namespace quorvo
