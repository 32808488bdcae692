#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mail/sasl/sasl_mechanism.h"
#include "mail/sasl/sasl_selector.h"

namespace eqd::sasl {
namespace {

struct TExchangeCase {
  std::string Name;
  std::unique_ptr<TSaslMechanism> Mechanism;
  std::optional<std::string> Initial;
  // Each challenge and the answer expected to it; none: the mechanism gives up.
  std::vector<std::pair<std::string, std::optional<std::string>>> Steps;
};

TEST(SaslMechanism, ExchangesTheirLines) {
  const TSaslCredentialsStruct credentials{"user", "pass"};
  TExchangeCase cases[] = {
      {"LOGIN: the user name, then the password, whatever the challenges say",
       CreateLoginMechanism(credentials),
       std::nullopt,
       {{"VXNlcm5hbWU6", "dXNlcg=="}, {"Who are you?!", "cGFzcw=="}, {"UGFzc3dvcmQ6", std::nullopt}}},
      {"LOGIN with Cyrillic credentials: their UTF-8 bytes",
       CreateLoginMechanism({"робот", "пароль"}),
       std::nullopt,
       {{"", "0YDQvtCx0L7Rgg=="}, {"", "0L/QsNGA0L7Qu9GM"}}},
      {"PLAIN: everything in the initial response; a challenge after it is a refusal",
       CreatePlainMechanism(credentials),
       "AHVzZXIAcGFzcw==",
       {{"", std::nullopt}}},
  };
  for (TExchangeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Mechanism->InitialResponse(), c.Initial);
    for (const auto& [challenge, response] : c.Steps) EXPECT_EQ(c.Mechanism->Respond(challenge), response) << challenge;
  }
}

TEST(SaslSelector, TakesTheFirstPreferredMechanismTheServerAnnounced) {
  using Id = TSaslMechanismId;
  const std::vector<Id> plainFirst = {Id::smPlain, Id::smLogin};
  struct TCase {
    std::vector<std::string> Announced;
    std::vector<Id> Preferred;
    std::string Chosen;  // empty: none
  } cases[] = {
      {{"PLAIN", "LOGIN"}, {std::begin(kDefaultSaslMechanisms), std::end(kDefaultSaslMechanisms)}, "LOGIN"},
      {{"login"}, {std::begin(kDefaultSaslMechanisms), std::end(kDefaultSaslMechanisms)}, "LOGIN"},
      // PLAIN is there, but only for whoever asks for it.
      {{"PLAIN", "CRAM-MD5"}, {std::begin(kDefaultSaslMechanisms), std::end(kDefaultSaslMechanisms)}, ""},
      {{"LOGIN", "PLAIN"}, plainFirst, "PLAIN"},
      {{"XOAUTH2", "login"}, plainFirst, "LOGIN"},
      {{"CRAM-MD5"}, plainFirst, ""},
      {{}, plainFirst, ""},
  };
  for (const TCase& c : cases) {
    const std::unique_ptr<TSaslMechanism> chosen = SelectSaslMechanism(c.Announced, {"user", "pass"}, c.Preferred);
    EXPECT_EQ(chosen ? std::string(chosen->Name()) : "", c.Chosen) << ::testing::PrintToString(c.Announced);
  }
}

}  // namespace
}  // namespace eqd::sasl
