#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace concurrency {

enum PoolState : std::int32_t {
  POOL_STOPPED = 0,   // no port, no workers; create allowed
  POOL_RUNNING = 1,   // workers take and run tasks; submit allowed
  POOL_STARTING = 2,  // create in progress
  POOL_STOPPING = 3,  // stop has begun; ends when the last worker has ended
};

enum StopMode : std::int32_t {
  STOP_DISCARD_WAIT = 0,  // queued tasks dropped, stop waits for the workers
  STOP_DRAIN_WAIT = 1,    // queued tasks run first, stop waits
  STOP_DISCARD = 2,       // queued tasks dropped, stop returns at once
  STOP_DRAIN = 3,         // queued tasks run first, stop returns at once
};

inline constexpr int DEFAULT_WORKERS = 5;
inline constexpr int MIN_STACK_RESERVE = 8192;
inline constexpr int MAX_CREATE_FAILURES = 5;
inline constexpr int STOP_POLL_MS = 20;

// A task: two 32-bit values, first value first; its result is ignored.
using TaskRoutine = void (*)(std::int32_t first, std::int32_t second);

// A fixed set of worker threads fed through one completion queue. Any thread may submit and
// submission never blocks. Workers keep the pool's state alive on their own, so destroying the
// pool (which stops it without waiting) never leaves a running task touching freed memory.
// No operation reports an error text: every failure is a false result.
class ThreadPool {
 public:
  ThreadPool();
  // Stops the pool in the discarding mode without waiting: queued tasks are dropped, running ones
  // finish on their own.
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Starts the workers: `worker_count` absent gives 5, below 1 gives 1. A `stack_size` of 0 keeps
  // the default stack; otherwise each worker reserves at least 8192 bytes, in multiples of 4096.
  // False (pool stopped again) when nothing runs; false and unchanged unless the pool was stopped.
  bool create(std::optional<int> worker_count = std::nullopt, bool process_events = false,
              int stack_size = 0);
  // Stops the pool in `mode` (any value outside 0..3 counts as STOP_DISCARD_WAIT). True when the
  // pool is stopped, or for the non-waiting modes once stopping has begun; false when the pool is
  // starting or already stopping, when a waiting stop cannot make its event (the pool keeps
  // running), or when `timeout_ms` (above 0) passes first (the pool goes on stopping).
  bool stop(int mode = STOP_DISCARD_WAIT, int timeout_ms = 0, bool process_events = false);
  // Queues a task. False (nothing queued) unless the pool runs and `routine` is not null.
  bool submit(TaskRoutine routine, std::int32_t first = 0, std::int32_t second = 0);
  // As submit, with the routine given as its address.
  bool submit_address(std::uintptr_t routine_address, std::int32_t first = 0,
                      std::int32_t second = 0);

  std::int32_t idle_count() const;
  std::int32_t busy_count() const;
  std::int32_t queued_count() const;
  std::int32_t thread_count() const;
  bool is_idle() const;
  std::int32_t state() const;

  // The stack reservation the last create computed for each worker (0: the default stack).
  int stack_reservation() const { return stack_reserve_; }

 private:
  struct Shared;
  static void worker_loop(const std::shared_ptr<Shared>& pool);

  std::shared_ptr<Shared> shared_;
  std::function<void()> worker_entry;  // bound to this pool; made by the first create
  int stack_reserve_ = 0;
};

// Milliseconds of a monotonic clock whose frequency is read once per program.
std::int64_t now_ms();

}  // namespace concurrency
