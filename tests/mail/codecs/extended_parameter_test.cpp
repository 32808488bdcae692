#include "mail/codecs/extended_parameter.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/utf8.h"
#include "mail/codecs/encoded_word.h"

#include "header_lines.h"

namespace eqd {
namespace {

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

TEST(ExtendedParameterTest, ShortValuesTakeOneParameter) {
  const std::pair<std::string, std::string> cases[] = {
      {"Отчёт.pdf", "filename*=UTF-8''%D0%9E%D1%82%D1%87%D1%91%D1%82.pdf"},
      {"a b(1);\"x\".txt", "filename*=UTF-8''a%20b%281%29%3B%22x%22.txt"},
      {"報告.pdf", "filename*=UTF-8''%E5%A0%B1%E5%91%8A.pdf"},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(ExtendedParameter("filename", name), expected);
}

TEST(ExtendedParameterTest, LongValuesGoInSectionsOfWholeCharacters) {
  std::string name;
  for (int i = 0; i < 12; ++i) name += "Ежемесячный отчёт 報告 ";
  name += ".pdf";
  const std::string parameters = ExtendedParameter("filename", name);
  const std::regex section(R"(filename\*(\d+)\*=([^;]*))");
  std::string joined;
  int expectedNumber = 0;
  for (auto it = std::sregex_iterator(parameters.begin(), parameters.end(), section); it != std::sregex_iterator();
       ++it) {
    EXPECT_EQ(std::stoi((*it)[1]), expectedNumber++);
    std::string value = (*it)[2];
    if (expectedNumber == 1) {
      ASSERT_TRUE(value.starts_with("UTF-8''"));
      value.erase(0, 7);
    }
    // A reader that decodes each section alone still gets whole characters.
    EXPECT_TRUE(platform::IsWellFormedUtf8(PercentDecoded(value))) << value;
    joined += PercentDecoded(value);
  }
  EXPECT_GT(expectedNumber, 10);
  EXPECT_EQ(joined, name);
  test::ExpectLinesWithin(FoldHeaderField("Content-Disposition", "attachment; " + parameters + "; filename=\"x\""), 78);
}

}  // namespace
}  // namespace eqd
