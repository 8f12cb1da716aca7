#include "platform/thread_start.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <memory>

namespace platform {
namespace {
std::atomic<int> start_failures{0};

void* run_entry(void* parameter) {
  std::unique_ptr<std::function<void()>> entry(static_cast<std::function<void()>*>(parameter));
  (*entry)();
  return nullptr;
}
}  // namespace

namespace testing {
void fail_thread_starts(int count) {
  start_failures = count;
}
}  // namespace testing

std::size_t granted_stack_size(std::size_t requested) {
  return requested == 0 ? 0 : std::max(requested, MIN_WORKER_STACK);
}

bool start_thread(std::size_t stack_size, std::function<void()> entry) {
  for (int left = start_failures.load(); left > 0;)
    if (start_failures.compare_exchange_weak(left, left - 1)) return false;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (const std::size_t granted = granted_stack_size(stack_size); granted != 0)
    pthread_attr_setstacksize(&attributes, granted);
  auto owned = std::make_unique<std::function<void()>>(std::move(entry));
  pthread_t thread;
  const int rc = pthread_create(&thread, &attributes, run_entry, owned.get());
  pthread_attr_destroy(&attributes);
  if (rc != 0) return false;
  owned.release();  // the thread owns it now
  return true;
}

}  // namespace platform
