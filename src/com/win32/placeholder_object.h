// A stand-in for the e-mail driver class while it is being built: enough methods to
// exercise the DLL end to end (registration, creation by ProgID, the calling convention,
// callbacks into the host's object). The factory switches to the driver in one line.
#pragma once

#include <memory>

#include "automation/base_object.h"

namespace eqd::com {

std::unique_ptr<TBaseObject> CreatePlaceholderObject();

}  // namespace eqd::com
