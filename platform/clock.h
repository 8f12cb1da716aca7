#pragma once

#include <cstdint>

namespace platform {

// A monotonic high-resolution counter and its frequency in counts per second.
std::int64_t performance_frequency();
std::int64_t performance_counter();

}  // namespace platform
