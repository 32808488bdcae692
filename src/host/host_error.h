// Errors of eqhost itself (unreadable files, bad options, malformed calls), told apart
// from the driver's own errors when the host reports them.
#pragma once

#include "automation/errors.h"

namespace eqd {

class EHostError : public EDriverError {
 public:
  explicit EHostError(const std::string& message) : EDriverError(message, "EHostError") {}
};

}  // namespace eqd
