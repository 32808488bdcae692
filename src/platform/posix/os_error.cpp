#include "platform/os_error.h"

#include <system_error>

namespace eqd::platform {

std::string SystemErrorText(OsErrorCode code) { return std::generic_category().message(code); }

}  // namespace eqd::platform
