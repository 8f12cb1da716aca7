#pragma once

#include <memory>
#include <mutex>

namespace concurrency {

// The system's mutual-exclusion object: recursive for the owning thread, which must leave as many
// times as it entered. No operation reports an error.
class Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  // Blocks until the calling thread owns the lock (at once when it already does).
  void enter();
  // Gives up one level of ownership.
  void leave();
  // True when the calling thread owns the lock after the call; false at once when another thread
  // owns it. Never blocks.
  bool try_enter();

 private:
  std::unique_ptr<std::recursive_mutex> section;
};

// Holds a Lock for a scope.
class LockGuard {
 public:
  explicit LockGuard(Lock& lock) : lock_(lock) { lock_.enter(); }
  ~LockGuard() { lock_.leave(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  Lock& lock_;
};

}  // namespace concurrency
