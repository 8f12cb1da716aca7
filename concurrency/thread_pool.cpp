#include "concurrency/thread_pool.h"

#include <atomic>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/completion_port.h"
#include "platform/thread_start.h"
#include "ui/toolkit.h"

namespace concurrency {

namespace {
using platform::CompletionPacket;
using platform::CompletionPort;
using platform::Event;

constexpr std::uint32_t STOP_PACKET_BYTES = 0xFFFFFFFF;
constexpr std::uintptr_t STOP_PACKET_KEY = ~std::uintptr_t{0};
constexpr std::uintptr_t STOP_PACKET_MARK = ~std::uintptr_t{1};  // -2

void process_events_if(bool wanted) {
  if (wanted) ui::process_pending_events();
}
}  // namespace

// Every field the workers touch. The pool object and each worker hold it, so it lives until the
// last of them lets go.
struct ThreadPool::Shared {
  std::atomic<CompletionPort*> port{nullptr};
  std::atomic<std::int32_t> state{POOL_STOPPED};
  std::atomic<std::int32_t> run_flag{0};
  std::atomic<std::int32_t> live_threads{0};
  std::atomic<std::int32_t> busy_tasks{0};
  std::atomic<std::int32_t> queued_tasks{0};
  std::atomic<Event*> signal_event{nullptr};

  // The handles above are plain pointers, exchanged atomically; these own what they point to for
  // as long as anyone may still hold one: a late submitter or a worker that read a pointer just
  // before it was exchanged away. Changed only by create and stop, which exclude each other.
  std::vector<std::shared_ptr<CompletionPort>> ports;
  std::vector<std::shared_ptr<Event>> events;

  template <typename T>
  T* keep(std::vector<std::shared_ptr<T>>& owners, std::shared_ptr<T> made) {
    owners.push_back(std::move(made));
    return owners.back().get();
  }
};

ThreadPool::ThreadPool() : shared_(std::make_shared<Shared>()) {}

ThreadPool::~ThreadPool() {
  stop(STOP_DISCARD);
  worker_entry = nullptr;
}

void ThreadPool::worker_loop(const std::shared_ptr<Shared>& pool) {
  pool->live_threads.fetch_add(1);
  if (Event* event = pool->signal_event.load()) event->set();
  // The port of this generation; a later generation makes its own.
  CompletionPort* const port = pool->port.load();
  CompletionPacket packet;
  while (port && port->take(packet) && pool->run_flag.load() == 1 &&
         packet.overlapped != STOP_PACKET_MARK) {
    pool->busy_tasks.fetch_add(1);
    pool->queued_tasks.fetch_sub(1);
    const auto routine = reinterpret_cast<TaskRoutine>(packet.overlapped);
    routine(static_cast<std::int32_t>(packet.byte_count), static_cast<std::int32_t>(packet.key));
    pool->busy_tasks.fetch_sub(1);
  }
  if (pool->live_threads.fetch_sub(1) - 1 != 0) return;
  // The last worker resets the pool.
  if (CompletionPort* closing = pool->port.exchange(nullptr)) closing->close();
  if (Event* event = pool->signal_event.exchange(nullptr)) event->set();
  pool->run_flag = 0;
  pool->live_threads = 0;
  pool->busy_tasks = 0;
  pool->queued_tasks = 0;
  pool->state.exchange(POOL_STOPPED);
}

bool ThreadPool::create(std::optional<int> worker_count, bool process_events, int stack_size) {
  Shared& pool = *shared_;
  std::int32_t expected = POOL_STOPPED;
  if (!pool.state.compare_exchange_strong(expected, POOL_STARTING)) return false;

  const int workers = !worker_count ? DEFAULT_WORKERS : (*worker_count < 1 ? 1 : *worker_count);
  stack_reserve_ = stack_size == 0                  ? 0
                   : stack_size < MIN_STACK_RESERVE ? MIN_STACK_RESERVE
                                                    : stack_size - stack_size % 4096;

  if (!worker_entry) worker_entry = [shared = shared_] { worker_loop(shared); };

  auto made_event = Event::create();
  if (!made_event) {
    pool.state.exchange(POOL_STOPPED);
    return false;
  }
  Event* const startup_event = pool.keep(pool.events, std::move(made_event));
  pool.signal_event = startup_event;
  auto made_port = CompletionPort::create();
  if (!made_port) {
    pool.signal_event = nullptr;
    pool.state.exchange(POOL_STOPPED);
    return false;
  }
  pool.port = pool.keep(pool.ports, std::move(made_port));
  pool.run_flag = 1;
  pool.live_threads = 0;
  pool.busy_tasks = 0;
  pool.queued_tasks = 0;

  int created = 0;
  int failures_in_a_row = 0;
  for (int attempt = 1; attempt <= workers; ++attempt) {
    if (platform::start_thread(static_cast<std::size_t>(stack_reserve_), worker_entry)) {
      ++created;
      failures_in_a_row = 0;
    } else if (++failures_in_a_row == MAX_CREATE_FAILURES) {
      break;
    }
    process_events_if(process_events);
  }

  if (created > 0) {
    const auto wait_ms = static_cast<std::uint32_t>(2.0 * created + 1000.0);
    while (startup_event->wait(wait_ms) == Event::WAIT_SIGNALED &&
           pool.live_threads.load() < created)
      process_events_if(process_events);
  }
  pool.signal_event = nullptr;

  if (pool.live_threads.load() != 0) {
    pool.state.exchange(POOL_RUNNING);
    return true;
  }
  pool.run_flag = 0;
  if (CompletionPort* closing = pool.port.exchange(nullptr)) closing->close();
  pool.state.exchange(POOL_STOPPED);
  return false;
}

bool ThreadPool::stop(int mode, int timeout_ms, bool process_events) {
  Shared& pool = *shared_;
  std::int32_t previous = POOL_RUNNING;
  if (!pool.state.compare_exchange_strong(previous, POOL_STOPPING)) return previous == POOL_STOPPED;
  if (mode < STOP_DISCARD_WAIT || mode > STOP_DRAIN) mode = STOP_DISCARD_WAIT;
  const bool waiting = mode == STOP_DISCARD_WAIT || mode == STOP_DRAIN_WAIT;
  const bool discarding = mode == STOP_DISCARD_WAIT || mode == STOP_DISCARD;

  Event* stop_event = nullptr;
  if (waiting) {
    auto made = Event::create();
    if (!made) {
      pool.state.exchange(POOL_RUNNING);
      return false;
    }
    stop_event = pool.keep(pool.events, std::move(made));
    pool.signal_event = stop_event;
  }
  if (discarding) pool.run_flag = 0;

  const std::int32_t live = pool.live_threads.load();
  if (CompletionPort* port = pool.port.load()) {
    for (std::int32_t i = 1; i <= live; ++i) {
      port->post({STOP_PACKET_BYTES, STOP_PACKET_KEY, STOP_PACKET_MARK});
      if (process_events && i % 100 == 0) ui::process_pending_events();
    }
  }
  if (!waiting) return true;

  const std::int64_t start = (timeout_ms > 0 && process_events) ? now_ms() : 0;
  while (pool.state.load() == POOL_STOPPING) {
    std::uint32_t outcome;
    if (process_events) {
      if (timeout_ms > 0 && static_cast<double>(now_ms() - start) - timeout_ms > 0.0000001)
        return false;
      outcome = stop_event->wait(STOP_POLL_MS);
      ui::process_pending_events();
    } else if (timeout_ms > 0) {
      outcome = stop_event->wait(static_cast<std::uint32_t>(timeout_ms));
      if (outcome == Event::WAIT_TIMEOUT) return false;
    } else {
      outcome = stop_event->wait(Event::INFINITE);
    }
    // The last worker sets the event just before it marks the pool stopped.
    if (outcome == Event::WAIT_SIGNALED)
      while (pool.state.load() == POOL_STOPPING) std::this_thread::yield();
  }
  return true;
}

bool ThreadPool::submit(TaskRoutine routine, std::int32_t first, std::int32_t second) {
  return submit_address(reinterpret_cast<std::uintptr_t>(routine), first, second);
}

bool ThreadPool::submit_address(std::uintptr_t routine_address, std::int32_t first,
                                std::int32_t second) {
  Shared& pool = *shared_;
  if (pool.state.load() != POOL_RUNNING || routine_address == 0) return false;
  pool.queued_tasks.fetch_add(1);
  CompletionPort* const port = pool.port.load();
  const bool posted =
      port && port->post({static_cast<std::uint32_t>(first),
                          static_cast<std::uintptr_t>(static_cast<std::uint32_t>(second)),
                          routine_address});
  if (!posted) pool.queued_tasks.fetch_sub(1);
  return posted;
}

std::int32_t ThreadPool::idle_count() const {
  return shared_->live_threads.load() - shared_->busy_tasks.load();
}
std::int32_t ThreadPool::busy_count() const {
  return shared_->busy_tasks.load();
}
std::int32_t ThreadPool::queued_count() const {
  return shared_->queued_tasks.load();
}
std::int32_t ThreadPool::thread_count() const {
  return shared_->live_threads.load();
}
bool ThreadPool::is_idle() const {
  return shared_->queued_tasks.load() == 0 && shared_->busy_tasks.load() == 0;
}
std::int32_t ThreadPool::state() const {
  return shared_->state.load();
}

std::int64_t now_ms() {
  static const std::int64_t frequency = platform::performance_frequency();
  return static_cast<std::int64_t>(static_cast<double>(platform::performance_counter()) /
                                   static_cast<double>(frequency) * 1000.0);
}

}  // namespace concurrency
