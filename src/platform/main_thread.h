// The identifier of the host process's main thread.
#pragma once

#include <cstdint>

namespace eqd::platform {

inline constexpr std::uint32_t kNoThreadId = 0xFFFFFFFFu;

// The first thread of this process as the system lists them (the main thread);
// kNoThreadId when it cannot be found.
std::uint32_t FindMainThreadId();

}  // namespace eqd::platform
