// The failure of one send: its message is what the host is shown.
#pragma once

#include <string>

#include "automation/errors.h"

namespace eqd::smtp {

class ESmtpError : public EDriverError {
 public:
  explicit ESmtpError(const std::string& message) : EDriverError(message, "ESmtpError") {}
};

}  // namespace eqd::smtp
