#include "mail/codecs/address_list.h"

#include <gtest/gtest.h>

namespace eqd {
namespace {

using TList = std::vector<std::pair<std::string, std::string>>;  // display name, address

TList Parsed(std::string_view text) {
  TList out;
  for (const TMailAddressStruct& a : ParseAddressList(text)) out.emplace_back(a.DisplayName, a.Address);
  return out;
}

TEST(AddressListTest, ParsesTheFormsPeopleType) {
  const std::pair<std::string, TList> cases[] = {
      {"", {}},
      {" ; ,; ", {}},
      {"ivan@example.ru;", {{"", "ivan@example.ru"}}},
      {" a@x.ru ;; b@x.ru,c@x.ru;", {{"", "a@x.ru"}, {"", "b@x.ru"}, {"", "c@x.ru"}}},
      {"Иван Петров <ivan@x.ru>", {{"Иван Петров", "ivan@x.ru"}}},
      {"\"Petrov, Ivan\" <p@x.ru>; q@x.ru", {{"Petrov, Ivan", "p@x.ru"}, {"", "q@x.ru"}}},
      {"\"Say \\\"hi\\\"\" < s@x.ru >", {{"Say \"hi\"", "s@x.ru"}}},
      {"p@x.ru (Пётр (old))", {{"Пётр", "p@x.ru"}}},
      {"Boss (the) <b@x.ru> (work)", {{"Boss", "b@x.ru"}}},
      {"(nobody);", {}},
      {"Ivan\r\n  Petrov <i@x.ru>", {{"Ivan Petrov", "i@x.ru"}}},
      {"\"john doe\"@x.ru", {{"", "\"john doe\"@x.ru"}}},
      {"<a;b@x.ru>, \"x;y\" <c@x.ru>", {{"", "a;b@x.ru"}, {"x;y", "c@x.ru"}}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Parsed(text), expected) << text;
}

TEST(AddressListTest, TellsAddressesFitForSmtpFromTheRest) {
  for (const char* good : {"a@b", "first.last+tag@sub.example.ru", "\"john doe\"@x.ru", "a@[127.0.0.1]"})
    EXPECT_TRUE(IsValidMailAddress(good)) << good;
  for (const std::string& bad : std::vector<std::string>{"", "ab", "@b", "a@", "a b@x.ru", "a@x.ru\r\nRCPT TO:<e@x.ru>", "a@x\n",
                                std::string("a@x.ru\0", 7), "<a@x.ru>", "иван@x.ru", "\"a@x.ru"})
    EXPECT_FALSE(IsValidMailAddress(bad)) << bad;
}

TEST(AddressListTest, FormatsMailboxesForAHeader) {
  const std::pair<TMailAddressStruct, std::string> cases[] = {
      {{"", "a@x.ru"}, "a@x.ru"},
      {{"Ivan Petrov", "a@x.ru"}, "Ivan Petrov <a@x.ru>"},
      {{"Petrov, I.", "a@x.ru"}, "\"Petrov, I.\" <a@x.ru>"},
      {{"Say \"hi\"", "a@x.ru"}, "\"Say \\\"hi\\\"\" <a@x.ru>"},
      {{"Иван", "a@x.ru"}, "=?windows-1251?B?yOLg7Q==?= <a@x.ru>"},
  };
  for (const auto& [mailbox, expected] : cases) EXPECT_EQ(FormatMailbox(mailbox), expected);
}

}  // namespace
}  // namespace eqd
