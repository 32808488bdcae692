// The JSON form of values in "eqhost run": any JSON either stands for a value or is
// refused with a conversion error; a value printed and read again is the same value and
// prints the same; and any text run as call lines against a driver object gives one
// answer line per non-blank line, each of them JSON again.
#include <sstream>
#include <string>

#include "automation/errors.h"
#include "fuzz_check.h"
#include "host/call_lines.h"
#include "host/json_variant.h"

namespace {

// Answers every call with its first argument and changes the second one, as a driver
// writes its output back; a name of "raise" raises as a refused call does.
class TEchoObject : public eqd::DispatchObject {
 public:
  eqd::Variant Invoke(std::string_view name, std::vector<eqd::Variant>& args) override {
    if (name == "raise") throw eqd::EDriverError("refused");
    if (args.size() > 1) args[1] = eqd::Variant(std::string(name));
    return args.empty() ? eqd::Variant() : args[0];
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace eqd;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto manager = std::make_shared<TEchoObject>();

  const Json json = Json::parse(text, nullptr, false);
  if (!json.is_discarded()) {
    try {
      const Variant value = JsonToVariant(json, manager);
      const Json printed = VariantToJson(value, manager);
      const Variant again = JsonToVariant(printed, manager);
      EQ_FUZZ_CHECK(SameValue(value, again));
      EQ_FUZZ_CHECK(VariantToJson(again, manager) == printed);
    } catch (const EConvertError&) {
      // JSON that stands for no value.
    }
  }

  TEchoObject driver;
  std::istringstream in(text);
  std::ostringstream out;
  RunCallLines(in, out, driver, manager);
  std::istringstream answers(out.str());
  std::size_t answerCount = 0;
  for (std::string line; std::getline(answers, line); ++answerCount)
    EQ_FUZZ_CHECK(!Json::parse(line, nullptr, false).is_discarded());
  std::istringstream lines(text);
  std::size_t callCount = 0;
  for (std::string line; std::getline(lines, line);)
    if (line.find_first_not_of(" \t\r") != std::string::npos) ++callCount;
  EQ_FUZZ_CHECK(answerCount == callCount);
  return 0;
}
