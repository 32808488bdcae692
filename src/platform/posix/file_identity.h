// The identity of a file from its status (see TFileIdentity).
#pragma once

#include <sys/stat.h>

#include "platform/read_only_file.h"

namespace eqd::platform {

TFileIdentity IdentityOf(const struct stat& st);

}  // namespace eqd::platform
