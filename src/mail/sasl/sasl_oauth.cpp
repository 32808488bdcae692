// XOAUTH2 and OAUTHBEARER (RFC 7628): a bearer token in the initial response. A server
// that refuses the token sends one challenge with a JSON error; the mechanism answers it
// as each requires (an empty line, or the byte 0x01) so the server can end the exchange
// with its refusal, and keeps what the challenge said for the error text.
#include "mail/oauth/oauth_sasl.h"
#include "mail/sasl/sasl_mechanism.h"

namespace eqd::sasl {
namespace {

class TBearerMechanism final : public TSaslMechanism {
 public:
  TBearerMechanism(const TSaslCredentialsStruct& credentials, bool oauthBearer)
      : credentials_(credentials), oauthBearer_(oauthBearer) {}

  std::string_view Name() const override { return oauthBearer_ ? "OAUTHBEARER" : "XOAUTH2"; }

  std::optional<std::string> InitialResponse() override {
    // The optional host and port pairs are left out: servers check the token and the user.
    return oauthBearer_ ? oauth::OAuthBearerInitialResponse(credentials_.User, credentials_.Password, {}, 0)
                        : oauth::Xoauth2InitialResponse(credentials_.User, credentials_.Password);
  }

  std::optional<std::string> Respond(std::string_view challenge) override {
    if (answered_) return std::nullopt;
    answered_ = true;
    // Kept only when the challenge says more than the refusal itself: a status or a scope.
    const oauth::TOAuthChallengeStruct parsed = oauth::ParseOAuthChallenge(challenge);
    if (!parsed.Status.empty() || !parsed.Scope.empty()) failure_ = oauth::ExplainOAuthChallenge(parsed);
    return std::string(oauthBearer_ ? oauth::kOAuthBearerErrorAnswer : oauth::kXoauth2ErrorAnswer);
  }

  std::string FailureText() const override { return failure_; }

 private:
  TSaslCredentialsStruct credentials_;
  bool oauthBearer_;
  bool answered_ = false;
  std::string failure_;
};

}  // namespace

std::unique_ptr<TSaslMechanism> CreateXoauth2Mechanism(const TSaslCredentialsStruct& credentials) {
  return std::make_unique<TBearerMechanism>(credentials, false);
}
std::unique_ptr<TSaslMechanism> CreateOAuthBearerMechanism(const TSaslCredentialsStruct& credentials) {
  return std::make_unique<TBearerMechanism>(credentials, true);
}

}  // namespace eqd::sasl
