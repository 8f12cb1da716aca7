#pragma once

#include <cstddef>
#include <functional>

namespace platform {

// The smallest stack a worker thread is given, whatever it asks for. A task of this program (a TLS
// handshake through libcurl and OpenSSL, pattern matching, code-page conversion, an SQLite insert,
// a call into the window system) needs far more than the 8 KiB the pool may reserve, and Linux
// itself refuses stacks below 16 KiB. Measured: a page task peaks near 100 KiB of stack, and about
// three times that under AddressSanitizer, so 512 KiB keeps a wide margin. Only address space is
// reserved; pages are committed as they are touched.
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
