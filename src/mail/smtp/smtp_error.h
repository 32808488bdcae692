// The failure of one send. Its message is the text the host was always shown (the
// server's reply, or the network failure in the driver's words); the failure record
// says which step failed and why, for the explanation the sender puts in front of it
// (mail/security/failure_explanation.h).
#pragma once

#include <string>
#include <utility>

#include "automation/errors.h"
#include "mail/security/failure_explanation.h"
#include "mail/smtp/smtp_reply.h"

namespace eqd::smtp {

class ESmtpError : public EDriverError {
 public:
  explicit ESmtpError(const std::string& message, TSmtpFailureClass cls = TSmtpFailureClass::fcOther)
      : EDriverError(message, "ESmtpError") {
    failure_.Class = cls;
    failure_.Text = message;
  }
  explicit ESmtpError(TSmtpFailureStruct failure)
      : EDriverError(failure.Text, "ESmtpError"), failure_(std::move(failure)) {}
  // A refusal by the server: its reply's text is the message.
  ESmtpError(TSmtpFailureClass cls, const TSmtpReplyStruct& reply) : ESmtpError(reply.Text(), cls) {
    failure_.FromServer = true;
    failure_.ReplyCode = reply.Code;
  }

  const TSmtpFailureStruct& Failure() const { return failure_; }
  TSmtpFailureStruct& Failure() { return failure_; }

 private:
  TSmtpFailureStruct failure_;
};

// The server closed or reset the connection: what it said before it went may still be
// there to read.
class ESmtpConnectionLost : public ESmtpError {
 public:
  using ESmtpError::ESmtpError;
};

}  // namespace eqd::smtp
