#include "platform/main_thread.h"

#include <unistd.h>

namespace eqd::platform {

// On Linux the main thread's identifier is the process identifier.
std::uint32_t FindMainThreadId() { return static_cast<std::uint32_t>(getpid()); }

}  // namespace eqd::platform
