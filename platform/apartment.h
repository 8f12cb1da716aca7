#pragma once

// The per-thread initialisation count that automation objects need. Initialise and uninitialise
// calls nest and must balance; an automation object can be created only on a thread whose count
// is above 0, as on the platform whose behaviour this keeps.
namespace platform {

// Raises the calling thread's count. Always succeeds.
void co_initialize();
// Lowers the calling thread's count; does nothing at 0.
void co_uninitialize();
// The calling thread's count.
int apartment_count();

}  // namespace platform
