#include "mail/codecs/base64.h"
#include "mail/sasl/sasl_mechanism.h"

namespace eqd::sasl {
namespace {

class TPlainMechanism final : public TSaslMechanism {
 public:
  explicit TPlainMechanism(const TSaslCredentialsStruct& credentials) : credentials_(credentials) {}

  std::string_view Name() const override { return "PLAIN"; }

  std::optional<std::string> InitialResponse() override {
    std::string message;
    message += '\0';
    message += credentials_.User;
    message += '\0';
    message += credentials_.Password;
    return Base64Encode(message);
  }

  // Everything was said at once; a challenge after it means the server did not take it.
  std::optional<std::string> Respond(std::string_view /*challenge*/) override { return std::nullopt; }

 private:
  TSaslCredentialsStruct credentials_;
};

}  // namespace

std::unique_ptr<TSaslMechanism> CreatePlainMechanism(const TSaslCredentialsStruct& credentials) {
  return std::make_unique<TPlainMechanism>(credentials);
}

}  // namespace eqd::sasl
