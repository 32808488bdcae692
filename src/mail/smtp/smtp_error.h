// The failure of one send: its message is what the host is shown.
#pragma once

#include <string>

#include "automation/errors.h"

namespace eqd::smtp {

class ESmtpError : public EDriverError {
 public:
  explicit ESmtpError(const std::string& message) : EDriverError(message, "ESmtpError") {}
};

// The server closed or reset the connection: what it said before it went may still be
// there to read.
class ESmtpConnectionLost : public ESmtpError {
 public:
  using ESmtpError::ESmtpError;
};

}  // namespace eqd::smtp
