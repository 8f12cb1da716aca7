#include "concurrency/lock.h"

namespace concurrency {

Lock::Lock() : section(std::make_unique<std::recursive_mutex>()) {}

Lock::~Lock() = default;

void Lock::enter() {
  section->lock();
}

void Lock::leave() {
  section->unlock();
}

bool Lock::try_enter() {
  return section->try_lock();
}

}  // namespace concurrency
