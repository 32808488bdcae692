#include "mail/codecs/address_list.h"

#include <gtest/gtest.h>

#include "mail/codecs/encoded_word.h"

#include "header_lines.h"

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
      {"postmaster; Иван <иван@пример.рф>", {{"", "postmaster"}, {"Иван", "иван@пример.рф"}}},
      {"\"a <b>\" <c@x.ru> (ok)", {{"a <b>", "c@x.ru"}}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Parsed(text), expected) << text;
}

TEST(AddressListTest, AnEntryThatIsNotWellFormedComesWholeAndIsRefused) {
  const std::string evil = "evil@example.com>\r\nRCPT TO:<victim@example.com";
  const std::pair<std::string, std::string> cases[] = {
      {evil, evil},
      {"Name <a@x.ru", "Name <a@x.ru"},                  // "<" left open
      {"Name <a@x.ru, b@x.ru", "Name <a@x.ru, b@x.ru"},  // ... which swallows the separator
      {"Name <a<b@x.ru>", "Name <a<b@x.ru>"},            // a second "<"
      {"<a@x.ru> <b@x.ru>", "<a@x.ru> <b@x.ru>"},
      {"a@x.ru>", "a@x.ru>"},                            // ">" outside brackets
      {"Name <a@x.ru> tail", "Name <a@x.ru> tail"},      // text after ">"
  };
  for (const auto& [text, address] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Parsed(text), (TList{{"", address}}));
    EXPECT_FALSE(IsValidMailAddress(address));
  }
}

TEST(AddressListTest, TellsAddressesThatCannotBreakACommandOrAHeader) {
  // What the server must decide: no "@", letters outside ASCII, odd but harmless forms.
  for (const char* good : {"a@b", "first.last+tag@sub.example.ru", "\"john doe\"@x.ru", "a@[127.0.0.1]", "postmaster",
                           "иван@пример.рф", "@b", "a@", "\"a;b\"@x.ru", "\"a\\\"b\"@x.ru"})
    EXPECT_TRUE(IsValidMailAddress(good)) << good;
  for (const std::string& bad :
       std::vector<std::string>{"", "a b@x.ru", "a\tb@x.ru", "a@x.ru\r\nRCPT TO:<e@x.ru>", "a@x\n", "a@x\r",
                                std::string("a@x.ru\0", 7), "<a@x.ru>", "a>b@x.ru", "a,b@x.ru", "a;b@x.ru",
                                "\"a@x.ru", "\"a\\\n\"@x.ru", "\"a\\>\"@x.ru", "a\x01@x.ru"})
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

TEST(AddressListTest, NameWordTooLongForAHeaderLineIsEncoded) {
  const std::string longest(kLongestPlainWord, 'x');
  EXPECT_EQ(FormatMailbox({"Ivan " + longest, "a@x.ru"}), "Ivan " + longest + " <a@x.ru>");
  // Plain, quoted, and a word that only quoting makes too long.
  for (const std::string& name : {"Ivan " + std::string(1000, 'x'), "Petrov, " + std::string(1000, 'x'),
                                  std::string(kLongestPlainWord / 2 + 1, '"')}) {
    SCOPED_TRACE(name.substr(0, 20));
    const std::string mailbox = FormatMailbox({name, "a@x.ru"});
    EXPECT_TRUE(mailbox.starts_with("=?windows-1251?B?")) << mailbox.substr(0, 40);
    test::ExpectLinesWithin(FoldHeaderField("To", mailbox), kMaxHeaderLineLength);
  }
}

TEST(AddressListTest, PaddedDisplayNamesAreEncodedAndKeepEveryBlank) {
  const std::string run(2001, ' ');
  for (const std::string& name : {"Shop" + run + "Ltd", "Petrov," + run + "Ivan", "Магазин" + run + "№1"}) {
    SCOPED_TRACE(name.substr(0, 8));
    const std::string mailbox = FormatMailbox({name, "a@x.ru"});
    EXPECT_TRUE(mailbox.starts_with("=?windows-1251?B?")) << mailbox.substr(0, 40);
    EXPECT_TRUE(mailbox.ends_with(" <a@x.ru>"));
    test::ExpectLinesWithin(FoldHeaderField("To", mailbox), kMaxHeaderLineLength);
  }
}

}  // namespace
}  // namespace eqd
