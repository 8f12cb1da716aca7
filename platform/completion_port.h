#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

namespace platform {

// One packet of a completion port: three fields that travel together.
struct CompletionPacket {
  std::uint32_t byte_count = 0;
  std::uintptr_t key = 0;
  std::uintptr_t overlapped = 0;
};

// A first-in first-out queue of packets on which any number of threads wait without limit. Once
// closed, every waiting and later take fails and later posts fail. Shared between its users, so a
// thread still holding it after the close never touches freed memory.
class CompletionPort {
 public:
  // A new port tied to no file; null when creation fails (or a test made it fail).
  static std::shared_ptr<CompletionPort> create();

  CompletionPort(const CompletionPort&) = delete;
  CompletionPort& operator=(const CompletionPort&) = delete;

  // Appends a packet; false once the port is closed.
  bool post(const CompletionPacket& packet);
  // Waits without limit for the oldest packet; false when the port is (or becomes) closed.
  bool take(CompletionPacket& packet);
  // Discards queued packets and fails every waiter.
  void close();

 private:
  CompletionPort() = default;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<CompletionPacket> packets_;  // guarded by mutex_
  int waiting_ = 0;                       // takers asleep on ready_; guarded by mutex_
  bool closed_ = false;                   // guarded by mutex_
};

// A one-shot auto-reset event: set wakes one wait, which resets it.
class Event {
 public:
  static constexpr std::uint32_t WAIT_SIGNALED = 0;
  static constexpr std::uint32_t WAIT_TIMEOUT = 258;
  static constexpr std::uint32_t INFINITE = 0xFFFFFFFF;

  // A new unsignalled event; null when creation fails (or a test made it fail).
  static std::shared_ptr<Event> create();

  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void set();
  // WAIT_SIGNALED (the event is reset again) or WAIT_TIMEOUT.
  std::uint32_t wait(std::uint32_t milliseconds);

 private:
  Event() = default;
  std::mutex mutex_;
  std::condition_variable signalled_;
  bool set_ = false;  // guarded by mutex_
};

namespace testing {
// The next `count` port or event creations fail.
void fail_port_creations(int count);
void fail_event_creations(int count);
}  // namespace testing

}  // namespace platform
