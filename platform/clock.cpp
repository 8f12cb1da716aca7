#include "platform/clock.h"

#include <time.h>

namespace platform {

std::int64_t performance_frequency() {
  return 1'000'000'000;
}

std::int64_t performance_counter() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace platform
