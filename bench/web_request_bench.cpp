// web_request of a 50 KB page over HTTPS on loopback, a fresh session, connection and TLS
// handshake each call. Usage: web_request_bench URL [calls]. Prints calls per second and CPU per
// call (compare: the curl command-line tool fetching the same URL, in scripts/bench.sh).
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "http/web_request.h"

namespace {
double cpu_seconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s URL [calls]\n", argv[0]);
    return 2;
  }
  const core::Text url = core::Text::from_bytes(argv[1]);
  const int calls = argc > 2 ? std::atoi(argv[2]) : 200;
  std::size_t bytes = http::web_request(url).length();  // warm-up
  const double cpu_before = cpu_seconds();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < calls; ++i) bytes += http::web_request(url).length();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = cpu_seconds() - cpu_before;
  std::printf(
      "web_request: %d calls in %.2f s = %.0f calls/s, %.2f ms CPU per call (%zu bytes each)\n",
      calls, wall, calls / wall, cpu / calls * 1000, bytes / (calls + 1));
  return 0;
}
