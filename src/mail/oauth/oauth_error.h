// A refusal of the identity provider (or of the SMTP server after a token), explained in
// Russian with the provider's own code.
#pragma once

#include <string>

#include "automation/errors.h"

namespace eqd::oauth {

class EOAuthError : public EDriverError {
 public:
  // `code`: the provider's error code ("invalid_grant"), empty when there is none.
  EOAuthError(const std::string& message, std::string code = {})
      : EDriverError(message, "EOAuthError"), code_(std::move(code)) {}
  const std::string& Code() const { return code_; }

 private:
  std::string code_;
};

// The Russian sentence for an error answer of a token endpoint: what the code means,
// then the code, the Microsoft AADSTS number when the description has one, and the
// provider's description (shortened, control characters removed).
std::string ExplainTokenError(int httpStatus, const std::string& code, const std::string& description);

// The Russian explanation of an SMTP refusal after a token was offered, for the enhanced
// status codes that say more than "wrong token" (Microsoft's 5.7.139 and 5.7.3); empty
// for any other reply.
std::string ExplainSmtpOAuthRefusal(const std::string& replyText);

}  // namespace eqd::oauth
