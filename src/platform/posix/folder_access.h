// Opening a folder to every local user, given its open descriptor (files.cpp opens its log
// folders without following links and hands them over here).
#pragma once

#include <sys/stat.h>

#include "platform/os_error.h"

namespace eqd::platform {

// Mode 1777 on the folder `fd`, whose status is `st`; a folder that has it already is
// left alone. Changing the mode may fail (another user's folder): that is not an error.
OsErrorCode OpenToEveryone(int fd, const struct stat& st);

}  // namespace eqd::platform
