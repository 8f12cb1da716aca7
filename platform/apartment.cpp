#include "platform/apartment.h"

namespace platform {
namespace {
thread_local int initialisations = 0;
}

void co_initialize() {
  ++initialisations;
}

void co_uninitialize() {
  if (initialisations > 0) --initialisations;
}

int apartment_count() {
  return initialisations;
}

}  // namespace platform
