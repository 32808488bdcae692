#include "mail/codecs/base64.h"
#include "mail/sasl/sasl_mechanism.h"

namespace eqd::sasl {
namespace {

class TLoginMechanism final : public TSaslMechanism {
 public:
  explicit TLoginMechanism(const TSaslCredentialsStruct& credentials) : credentials_(credentials) {}

  std::string_view Name() const override { return "LOGIN"; }
  std::optional<std::string> InitialResponse() override { return std::nullopt; }

  std::optional<std::string> Respond(std::string_view /*challenge*/) override {
    switch (step_++) {
      case 0: return Base64Encode(credentials_.User);
      case 1: return Base64Encode(credentials_.Password);
      default: return std::nullopt;
    }
  }

 private:
  TSaslCredentialsStruct credentials_;
  int step_ = 0;
};

}  // namespace

std::unique_ptr<TSaslMechanism> CreateLoginMechanism(const TSaslCredentialsStruct& credentials) {
  return std::make_unique<TLoginMechanism>(credentials);
}

}  // namespace eqd::sasl
