#include "concurrency/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/completion_port.h"
#include "platform/thread_start.h"

namespace concurrency {
namespace {

using namespace std::chrono_literals;

// Waits (bounded) until `done` holds.
template <typename Predicate>
bool eventually(Predicate done, std::chrono::milliseconds limit = 5s) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Task routines are plain functions, so their observations live in globals reset per test.
std::atomic<int> ran{0};
std::atomic<bool> release_gate{false};
std::mutex order_mutex;
std::vector<std::pair<int, int>> calls;  // guarded by order_mutex

void count_task(std::int32_t, std::int32_t) {
  ++ran;
}
void record_task(std::int32_t first, std::int32_t second) {
  std::lock_guard<std::mutex> hold(order_mutex);
  calls.emplace_back(first, second);
}
void gated_task(std::int32_t, std::int32_t) {
  while (!release_gate) std::this_thread::sleep_for(1ms);
  ++ran;
}

class ThreadPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ran = 0;
    release_gate = false;
    calls.clear();
  }
  void TearDown() override { release_gate = true; }
};

TEST_F(ThreadPoolTest, WorkerCounts) {
  struct Case {
    std::optional<int> requested;
    int expected;
  } cases[] = {{std::nullopt, 5}, {0, 1}, {-3, 1}, {10, 10}};
  for (const auto& c : cases) {
    ThreadPool pool;
    ASSERT_TRUE(pool.create(c.requested));
    EXPECT_EQ(pool.thread_count(), c.expected) << c.requested.value_or(-999);
    EXPECT_EQ(pool.state(), POOL_RUNNING);
    EXPECT_TRUE(pool.stop());
    EXPECT_EQ(pool.thread_count(), 0);
  }
}

TEST_F(ThreadPoolTest, StackReservations) {
  struct Case {
    int requested;
    int reserved;
  } cases[] = {{0, 0},        {10, 8192},     {8191, 8192},   {8192, 8192},
               {10000, 8192}, {12288, 12288}, {20000, 16384}, {-5, 8192}};
  for (const auto& c : cases) {
    ThreadPool pool;
    ASSERT_TRUE(pool.create(1, false, c.requested));
    EXPECT_EQ(pool.stack_reservation(), c.reserved) << c.requested;
  }
  // The platform grants at least its floor whatever the pool reserves.
  EXPECT_EQ(platform::granted_stack_size(8192), platform::MIN_WORKER_STACK);
  EXPECT_EQ(platform::granted_stack_size(0), 0u);
}

TEST_F(ThreadPoolTest, RefusalsLeaveThePoolAsItWas) {
  ThreadPool pool;
  EXPECT_FALSE(pool.submit(count_task)) << "before create";
  EXPECT_EQ(pool.queued_count(), 0);
  EXPECT_TRUE(pool.stop()) << "a never-created pool is stopped";
  ASSERT_TRUE(pool.create(2));
  EXPECT_FALSE(pool.create(4));
  EXPECT_EQ(pool.thread_count(), 2);
  EXPECT_FALSE(pool.submit(nullptr));
  EXPECT_FALSE(pool.submit_address(0));
  EXPECT_EQ(pool.queued_count(), 0);
}

TEST_F(ThreadPoolTest, ValuesArriveInOrderAndTasksRunInSubmissionOrder) {
  ThreadPool pool;
  ASSERT_TRUE(pool.create(1));
  ASSERT_TRUE(pool.submit(record_task, 7, 9));
  ASSERT_TRUE(pool.submit(record_task));
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(pool.submit(record_task, i, -i));
  ASSERT_TRUE(pool.stop(STOP_DRAIN_WAIT));
  ASSERT_EQ(calls.size(), 52u);
  EXPECT_EQ(calls[0], std::make_pair(7, 9));
  EXPECT_EQ(calls[1], std::make_pair(0, 0));
  for (int i = 0; i < 50; ++i) EXPECT_EQ(calls[2 + i], std::make_pair(i, -i));
}

TEST_F(ThreadPoolTest, WaitingStopModesWithOneBusyWorkerAndTwentyQueued) {
  struct Case {
    int mode;
    int expected_ran;
  } cases[] = {{STOP_DRAIN_WAIT, 21}, {STOP_DISCARD_WAIT, 1}, {9, 1}, {-1, 1}};
  for (const auto& c : cases) {
    SetUp();
    ThreadPool pool;
    ASSERT_TRUE(pool.create(1));
    ASSERT_TRUE(pool.submit(gated_task));
    ASSERT_TRUE(eventually([&] { return pool.busy_count() == 1; }));
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(pool.submit(count_task));
    EXPECT_EQ(pool.queued_count(), 20);
    std::thread opener([] {
      std::this_thread::sleep_for(50ms);
      release_gate = true;
    });
    EXPECT_TRUE(pool.stop(c.mode));
    opener.join();
    EXPECT_EQ(ran, c.expected_ran) << "mode " << c.mode;
    EXPECT_EQ(pool.state(), POOL_STOPPED);
    EXPECT_EQ(pool.queued_count(), 0);
  }
}

TEST_F(ThreadPoolTest, NonWaitingStopsReturnAtOnceAndStayStoppingUntilTheLastWorkerEnds) {
  for (int mode : {STOP_DISCARD, STOP_DRAIN}) {
    SetUp();
    ThreadPool pool;
    ASSERT_TRUE(pool.create(2));
    ASSERT_TRUE(pool.submit(gated_task));
    ASSERT_TRUE(eventually([&] { return pool.busy_count() == 1; }));
    EXPECT_TRUE(pool.stop(mode));
    EXPECT_EQ(pool.state(), POOL_STOPPING);
    EXPECT_FALSE(pool.create());
    EXPECT_FALSE(pool.submit(count_task));
    EXPECT_FALSE(pool.stop()) << "already stopping";
    release_gate = true;
    ASSERT_TRUE(eventually([&] { return pool.state() == POOL_STOPPED; }));
    EXPECT_EQ(pool.thread_count(), 0);
  }
}

TEST_F(ThreadPoolTest, TimedOutStopLeavesThePoolToFinishStopping) {
  for (bool process_events : {false, true}) {
    SetUp();
    ThreadPool pool;
    ASSERT_TRUE(pool.create(3));
    ASSERT_TRUE(pool.submit(gated_task));
    ASSERT_TRUE(eventually([&] { return pool.busy_count() == 1; }));
    EXPECT_FALSE(pool.stop(STOP_DISCARD_WAIT, 60, process_events));
    EXPECT_EQ(pool.state(), POOL_STOPPING);
    release_gate = true;
    ASSERT_TRUE(eventually([&] { return pool.state() == POOL_STOPPED; }));
    EXPECT_EQ(pool.thread_count(), 0);
    EXPECT_EQ(pool.busy_count(), 0);
    EXPECT_EQ(pool.queued_count(), 0);
    EXPECT_TRUE(pool.create(2)) << "a stopped pool can be created again";
    EXPECT_TRUE(pool.submit(count_task));
    EXPECT_TRUE(pool.stop(STOP_DRAIN_WAIT));
    EXPECT_EQ(ran, 2);
  }
}

TEST_F(ThreadPoolTest, IdleCounts) {
  ThreadPool pool;
  EXPECT_TRUE(pool.is_idle());
  ASSERT_TRUE(pool.create(4));
  EXPECT_TRUE(pool.is_idle());
  ASSERT_TRUE(pool.submit(gated_task));
  ASSERT_TRUE(eventually([&] { return pool.busy_count() == 1; }));
  EXPECT_FALSE(pool.is_idle());
  EXPECT_EQ(pool.idle_count(), pool.thread_count() - pool.busy_count());
  EXPECT_EQ(pool.idle_count(), 3);
  release_gate = true;
  ASSERT_TRUE(eventually([&] { return pool.is_idle(); }));
}

TEST_F(ThreadPoolTest, PlatformFailures) {
  {
    platform::testing::fail_event_creations(1);
    ThreadPool pool;
    EXPECT_FALSE(pool.create(2));
    EXPECT_EQ(pool.state(), POOL_STOPPED);
  }
  {
    platform::testing::fail_port_creations(1);
    ThreadPool pool;
    EXPECT_FALSE(pool.create(2));
    EXPECT_EQ(pool.state(), POOL_STOPPED);
    EXPECT_TRUE(pool.create(2));
  }
  {
    // Four failures in a row are absorbed, each using up its turn.
    platform::testing::fail_thread_starts(4);
    ThreadPool pool;
    ASSERT_TRUE(pool.create(6));
    EXPECT_EQ(pool.thread_count(), 2);
  }
  {
    // The fifth ends the creation loop; with nothing created the pool stays stopped.
    platform::testing::fail_thread_starts(5);
    ThreadPool pool;
    EXPECT_FALSE(pool.create(8));
    EXPECT_EQ(pool.state(), POOL_STOPPED);
    platform::testing::fail_thread_starts(0);
  }
  {
    // A waiting stop that cannot make its event leaves the pool running.
    ThreadPool pool;
    ASSERT_TRUE(pool.create(1));
    platform::testing::fail_event_creations(1);
    EXPECT_FALSE(pool.stop(STOP_DRAIN_WAIT));
    EXPECT_EQ(pool.state(), POOL_RUNNING);
    EXPECT_TRUE(pool.submit(count_task));
  }
}

TEST_F(ThreadPoolTest, DestroyingThePoolWhileATaskRunsLeavesTheTaskSafe) {
  {
    ThreadPool pool;
    ASSERT_TRUE(pool.create(2, false, 10));
    ASSERT_TRUE(pool.submit(gated_task));
    ASSERT_TRUE(pool.submit(count_task));
    ASSERT_TRUE(eventually([&] { return pool.busy_count() >= 1; }));
  }  // destroyed while gated_task runs
  release_gate = true;
  ASSERT_TRUE(eventually([] { return ran >= 1; }));
  std::this_thread::sleep_for(50ms);  // the workers finish with the shared state only
}

TEST_F(ThreadPoolTest, ClockIsMonotonicMilliseconds) {
  const auto a = now_ms();
  std::this_thread::sleep_for(20ms);
  const auto b = now_ms();
  EXPECT_GE(b - a, 19);
  EXPECT_LT(b - a, 5000);
}

}  // namespace
}  // namespace concurrency
