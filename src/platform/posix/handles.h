// Owners of the POSIX handles more than one file opens; each is an alias of the one
// owning-handle template.
#pragma once

#include <unistd.h>

#include "platform/unique_handle.h"

namespace eqd::platform {

// A file descriptor (a file, a socket, a pipe end). A close that must report its error
// (the last step of writing a file) takes the descriptor with Detach() and closes it
// itself.
using TFd = TUniqueHandle<int, &::close, -1>;

}  // namespace eqd::platform
