#pragma once

#include <cstddef>
#include <functional>

namespace platform {

// The smallest stack a worker thread is given, whatever it asks for. A task of this program (a TLS
// handshake through libcurl and OpenSSL, pattern matching, code-page conversion, an SQLite insert,
// a call into the window system) needs far more than the 8 KiB the pool may reserve, and Linux
// itself refuses stacks below 16 KiB. Measured by lowering this floor and harvesting all 1450
// pages of the bundled site (TLS, UTF-8 re-decoding, retries, inserts): a plain build completes on
// 32 KiB and overflows on 16 KiB; an AddressSanitizer build completes on 64 KiB and overflows on
// 32 KiB. 512 KiB keeps eight times the larger need. Only address space is reserved; pages are
// committed as they are touched.
inline constexpr std::size_t MIN_WORKER_STACK = 512 * 1024;

// The stack the platform actually grants for a request: 0 means the default.
std::size_t granted_stack_size(std::size_t requested);

// Starts a detached thread running `entry` with a stack of `stack_size` bytes (0: the default),
// raised to MIN_WORKER_STACK. False when the thread could not be started (or a test made it fail).
bool start_thread(std::size_t stack_size, std::function<void()> entry);

namespace testing {
// The next `count` thread starts fail.
void fail_thread_starts(int count);
}  // namespace testing

}  // namespace platform
