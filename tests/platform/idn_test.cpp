// International domain names as the platform converts them: libidn2 on Linux, the
// system's IdnToAscii on Windows (run under Wine). Both give the same A-labels.
#include "platform/idn.h"

#include <gtest/gtest.h>

namespace eqd::platform {
namespace {

TEST(IdnTest, DomainsBecomeTheirALabels) {
  const std::pair<std::string, std::string> cases[] = {
      {"пример.рф", "xn--e1afmkfd.xn--p1ai"},
      {"ПРИМЕР.РФ", "xn--e1afmkfd.xn--p1ai"},  // folded to lower case first
      {"mail.Bücher.example", "mail.xn--bcher-kva.example"},
      {"例え.テスト", "xn--r8jz45g.xn--zckzah"},
      {"xn--e1afmkfd.рф", "xn--e1afmkfd.xn--p1ai"},
  };
  for (const auto& [domain, ascii] : cases) EXPECT_EQ(DomainToAscii(domain).value_or("(refused)"), ascii) << domain;
}

TEST(IdnTest, NamesThatCannotBeConvertedAreRefused) {
  std::string longLabel;  // an A-label of more than 63 octets
  for (int i = 0; i < 60; ++i) longLabel += "д";
  for (const std::string& domain : {longLabel + ".рф", std::string("\xD0\xBF\xFF.рф"), std::string("а\0б.рф", 8)})
    EXPECT_FALSE(DomainToAscii(domain).has_value()) << domain;
}

}  // namespace
}  // namespace eqd::platform
