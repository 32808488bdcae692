// SASL mechanisms as pure line exchanges: a mechanism never touches a connection, it is
// asked for the line to send first and for the answer to each challenge. Lines are in the
// form SMTP carries them (RFC 4954): Base64, without the line end. The protocol around
// them (the AUTH command, the 334 loop, what 235 or a refusal means) is the client's.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace eqd::sasl {

struct TSaslCredentialsStruct {
  std::string User;  // empty: nothing to log in with
  std::string Password;  // with XOAUTH2 and OAUTHBEARER, the access token
};

class TSaslMechanism {
 public:
  virtual ~TSaslMechanism() = default;
  // The name in the AUTH command and in the server's list ("LOGIN").
  virtual std::string_view Name() const = 0;
  // The response that goes with the AUTH command itself; none when the mechanism waits
  // for the server's first challenge.
  virtual std::optional<std::string> InitialResponse() = 0;
  // The response to a challenge (the text after "334 "); none when the mechanism has
  // nothing more to say, which ends the exchange as failed.
  virtual std::optional<std::string> Respond(std::string_view challenge) = 0;
  // What the server's challenges said about a refusal, in Russian; empty when they said
  // nothing the refusal's own reply does not.
  virtual std::string FailureText() const { return {}; }
};

// LOGIN: the user name at the first challenge, the password at the second, whatever the
// challenges say (servers word them freely, some not even in Base64).
std::unique_ptr<TSaslMechanism> CreateLoginMechanism(const TSaslCredentialsStruct& credentials);
// PLAIN (RFC 4616): no authorization identity, the user name and the password in the
// initial response.
std::unique_ptr<TSaslMechanism> CreatePlainMechanism(const TSaslCredentialsStruct& credentials);
// XOAUTH2 and OAUTHBEARER (RFC 7628): the access token in the initial response; the
// error challenge of a refused token is answered as each requires, and kept for
// FailureText().
std::unique_ptr<TSaslMechanism> CreateXoauth2Mechanism(const TSaslCredentialsStruct& credentials);
std::unique_ptr<TSaslMechanism> CreateOAuthBearerMechanism(const TSaslCredentialsStruct& credentials);

}  // namespace eqd::sasl
