#include "platform/completion_port.h"

#include <atomic>
#include <chrono>

namespace platform {
namespace {
std::atomic<int> port_failures{0};
std::atomic<int> event_failures{0};

bool take_failure(std::atomic<int>& failures) {
  int left = failures.load();
  while (left > 0)
    if (failures.compare_exchange_weak(left, left - 1)) return true;
  return false;
}
}  // namespace

namespace testing {
void fail_port_creations(int count) {
  port_failures = count;
}
void fail_event_creations(int count) {
  event_failures = count;
}
}  // namespace testing

std::shared_ptr<CompletionPort> CompletionPort::create() {
  if (take_failure(port_failures)) return nullptr;
  return std::shared_ptr<CompletionPort>(new CompletionPort());
}

bool CompletionPort::post(const CompletionPacket& packet) {
  bool wake;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (closed_) return false;
    packets_.push_back(packet);
    wake = waiting_ > 0;  // a busy taker finds the packet on its own
  }
  if (wake) ready_.notify_one();
  return true;
}

bool CompletionPort::take(CompletionPacket& packet) {
  std::unique_lock<std::mutex> hold(mutex_);
  ++waiting_;
  ready_.wait(hold, [this] { return closed_ || !packets_.empty(); });
  --waiting_;
  if (closed_) return false;
  packet = packets_.front();
  packets_.pop_front();
  return true;
}

void CompletionPort::close() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    closed_ = true;
    packets_.clear();
  }
  ready_.notify_all();
}

std::shared_ptr<Event> Event::create() {
  if (take_failure(event_failures)) return nullptr;
  return std::shared_ptr<Event>(new Event());
}

void Event::set() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    set_ = true;
  }
  signalled_.notify_one();
}

std::uint32_t Event::wait(std::uint32_t milliseconds) {
  std::unique_lock<std::mutex> hold(mutex_);
  if (milliseconds == INFINITE) {
    signalled_.wait(hold, [this] { return set_; });
  } else if (!signalled_.wait_for(hold, std::chrono::milliseconds(milliseconds),
                                  [this] { return set_; })) {
    return WAIT_TIMEOUT;
  }
  set_ = false;
  return WAIT_SIGNALED;
}

}  // namespace platform
