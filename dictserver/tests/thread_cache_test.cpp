#include "dictserver/thread_cache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <set>
#include <thread>

namespace quorvo::dictd {
namespace {

using namespace std::chrono_literals;

// Waits (bounded) until pred holds.
template <typename Pred>
bool Eventually(Pred pred, std::chrono::milliseconds limit = 5s) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(ThreadCacheTest, AThreadWhoseJobEndedTakesTheNextOne) {
  ThreadCache cache(10s);
  std::promise<std::thread::id> first;
  cache.Run([&] { first.set_value(std::this_thread::get_id()); });
  std::thread::id firstThread = first.get_future().get();
  ASSERT_TRUE(Eventually([&] { return cache.WaitingCount() == 1; }));

  std::set<std::thread::id> seen;
  for (int i = 0; i < 50; ++i) {
    std::promise<std::thread::id> ran;
    cache.Run([&] { ran.set_value(std::this_thread::get_id()); });
    seen.insert(ran.get_future().get());
    ASSERT_TRUE(Eventually([&] { return cache.WaitingCount() == 1; }));
  }
  // One after another, the jobs never needed a second thread.
  EXPECT_EQ(seen, std::set<std::thread::id>{firstThread});
  EXPECT_EQ(cache.ThreadCount(), 1u);
}

TEST(ThreadCacheTest, ASlowJobHoldsUpNoOther) {
  ThreadCache cache(10s);
  std::mutex mutex;
  std::condition_variable released;
  bool release = false;
  std::atomic<int> slowEnded{0};
  for (int i = 0; i < 3; ++i) {
    cache.Run([&] {
      std::unique_lock lock(mutex);
      released.wait(lock, [&] { return release; });
      slowEnded.fetch_add(1);
    });
  }
  std::promise<void> quick;
  cache.Run([&] { quick.set_value(); });
  EXPECT_EQ(quick.get_future().wait_for(5s), std::future_status::ready);
  EXPECT_EQ(slowEnded.load(), 0);
  EXPECT_EQ(cache.ThreadCount(), 4u);
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  released.notify_all();
  EXPECT_TRUE(Eventually([&] { return slowEnded.load() == 3; }));
}

TEST(ThreadCacheTest, WaitingThreadsEndAfterTheirLingerAndTheDestructorWaitsForRunningJobs) {
  std::atomic<bool> jobEnded{false};
  {
    ThreadCache cache(20ms);
    std::promise<void> done;
    cache.Run([&] { done.set_value(); });
    done.get_future().wait();
    EXPECT_TRUE(Eventually([&] { return cache.ThreadCount() == 0; }));

    // A job still running when the cache goes is waited for.
    std::promise<void> started;
    cache.Run([&] {
      started.set_value();
      std::this_thread::sleep_for(100ms);
      jobEnded.store(true);
    });
    started.get_future().wait();
  }
  EXPECT_TRUE(jobEnded.load());
}

TEST(ThreadCacheTest, AThrowingJobLeavesItsThreadServing) {
  ThreadCache cache(10s);
  cache.Run([] { throw std::runtime_error("a job that fails"); });
  ASSERT_TRUE(Eventually([&] { return cache.WaitingCount() == 1; }));
  std::promise<void> next;
  cache.Run([&] { next.set_value(); });
  EXPECT_EQ(next.get_future().wait_for(5s), std::future_status::ready);
  EXPECT_EQ(cache.ThreadCount(), 1u);
}

}  // namespace
}  // namespace quorvo::dictd
