#include "database/sqlite_library.h"

#include <dlfcn.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace database::library {
namespace {

constexpr std::size_t kCount = static_cast<std::size_t>(Symbol::count);

constexpr std::array<const char*, kCount> kNames = {
#define HARVEST_SQLITE_NAME(name) #name,
    HARVEST_SQLITE_FUNCTIONS(HARVEST_SQLITE_NAME) HARVEST_SQLITE_KEY_FUNCTIONS(HARVEST_SQLITE_NAME)
#undef HARVEST_SQLITE_NAME
};

std::array<std::atomic<void*>, kCount> addresses{};  // remembered after the first lookup
std::mutex lookup_mutex;                             // guards the loading and each first lookup
std::string library_file = "libsqlite3.so.0";        // guarded by lookup_mutex
void* library = nullptr;                             // guarded by lookup_mutex

[[noreturn]] void fatal(const std::string& file, const char* function, const char* reason) {
  std::fprintf(stderr, "fatal: cannot use function %s of library %s: %s\n", function, file.c_str(),
               reason ? reason : "not found");
  std::fflush(stderr);
  std::_Exit(70);
}

}  // namespace

void* resolve(Symbol symbol) {
  const auto index = static_cast<std::size_t>(symbol);
  if (void* known = addresses[index].load(std::memory_order_acquire)) return known;
  std::lock_guard<std::mutex> hold(lookup_mutex);
  if (void* known = addresses[index].load(std::memory_order_relaxed)) return known;
  if (!library) {
    library = dlopen(library_file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) fatal(library_file, kNames[index], dlerror());
  }
  void* found = dlsym(library, kNames[index]);
  if (!found) fatal(library_file, kNames[index], "the library has no such function");
  addresses[index].store(found, std::memory_order_release);
  return found;
}

void set_library_file(std::string file) {
  std::lock_guard<std::mutex> hold(lookup_mutex);
  library_file = std::move(file);
}

void set_substitute(Symbol symbol, void* address) {
  addresses[static_cast<std::size_t>(symbol)].store(address, std::memory_order_release);
}

}  // namespace database::library
