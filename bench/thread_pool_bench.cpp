// Submission cost and throughput of empty tasks through the pool, beside a plain
// mutex-and-condition-variable queue with the same number of workers.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "concurrency/thread_pool.h"

namespace {

std::atomic<long> done{0};
void empty_task(std::int32_t, std::int32_t) {
  done.fetch_add(1, std::memory_order_relaxed);
}

// The simplest sound alternative: one locked queue, workers woken one at a time.
class MutexQueuePool {
 public:
  explicit MutexQueuePool(int workers) {
    for (int i = 0; i < workers; ++i)
      threads_.emplace_back([this] {
        for (;;) {
          std::unique_lock<std::mutex> hold(mutex_);
          ready_.wait(hold, [this] { return stopping_ || !tasks_.empty(); });
          if (tasks_.empty()) return;
          auto task = tasks_.front();
          tasks_.pop_front();
          hold.unlock();
          task.first(task.second, 0);
        }
      });
  }
  ~MutexQueuePool() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      stopping_ = true;
    }
    ready_.notify_all();
    for (auto& t : threads_) t.join();
  }
  void submit(concurrency::TaskRoutine routine, std::int32_t value) {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      tasks_.emplace_back(routine, value);
    }
    ready_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::pair<concurrency::TaskRoutine, std::int32_t>> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

constexpr int kBatch = 10000;

void wait_for(long target) {
  while (done.load(std::memory_order_relaxed) < target) std::this_thread::yield();
}

void BM_PoolThroughput(benchmark::State& state) {
  concurrency::ThreadPool pool;
  pool.create(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    done = 0;
    for (int i = 0; i < kBatch; ++i) pool.submit(empty_task);
    wait_for(kBatch);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  pool.stop(concurrency::STOP_DRAIN_WAIT);
}
BENCHMARK(BM_PoolThroughput)->Arg(1)->Arg(2)->Arg(10)->UseRealTime();

void BM_MutexQueueThroughput(benchmark::State& state) {
  MutexQueuePool pool(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    done = 0;
    for (int i = 0; i < kBatch; ++i) pool.submit(empty_task, 0);
    wait_for(kBatch);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_MutexQueueThroughput)->Arg(1)->Arg(2)->Arg(10)->UseRealTime();

// The cost of one submission alone, the workers kept busy elsewhere so none is woken.
void BM_PoolSubmitOnly(benchmark::State& state) {
  concurrency::ThreadPool pool;
  pool.create(1);
  long submitted = 0;
  for (auto _ : state) {
    pool.submit(empty_task);
    ++submitted;
  }
  state.SetItemsProcessed(submitted);
  pool.stop(concurrency::STOP_DRAIN_WAIT);
}
BENCHMARK(BM_PoolSubmitOnly);

void BM_MutexQueueSubmitOnly(benchmark::State& state) {
  MutexQueuePool pool(1);
  long submitted = 0;
  for (auto _ : state) {
    pool.submit(empty_task, 0);
    ++submitted;
  }
  state.SetItemsProcessed(submitted);
}
BENCHMARK(BM_MutexQueueSubmitOnly);

}  // namespace
