#include "automation/result_codes.h"

#include <gtest/gtest.h>

#include <set>

namespace eqd {
namespace {

TEST(ResultCodesTest, DescriptionRules) {
  const struct {
    std::int32_t code;
    const char* text;
    const char* def;
    const char* expected;
  } cases[] = {
      {0, "x", "", "Нет ошибок"},
      {1003, "x", "", "x"},
      {1003, "", "", "Команда не поддерживается устройством"},
      {1003, "", "y", "Команда не поддерживается устройством"},
      {5, "", "y", "y"},
      {5, "", "", "Неизвестная ошибка"},
      {3016, "", "", "Неизвестная ошибка"},
      {-1, "", "", "Неизвестная ошибка"},
      {-1, "z", "y", "z"},
      {99115, "", "",
       "Специфичная для данного класса устройств ошибка. Расширенная информация в дополнительном описании ошибки"},
  };
  for (const auto& c : cases) EXPECT_EQ(GetResultDescription(c.code, c.text, c.def), c.expected) << c.code;
  EXPECT_EQ(GetResultDescription(2001), GetResultDescription(8001));
  EXPECT_NE(GetResultDescription(3006), GetResultDescription(3017));
}

// Decodes UTF-8 into code points (the table is well-formed UTF-8).
std::u32string CodePoints(const std::string& s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out += cp;
    i += 1 + extra;
  }
  return out;
}

TEST(ResultCodesTest, TableHoldsNinetyOneCodesWithCyrillicTexts) {
  const auto table = ResultCodeTable();
  ASSERT_EQ(table.size(), 91u);
  std::set<std::int32_t> codes;
  for (const auto& e : table) codes.insert(e.Code);
  EXPECT_EQ(codes.size(), 91u);
  // Only four messages hold Latin letters (Z, email, pinpad); a Latin look-alike anywhere
  // else would be a typo the host's users would see.
  const std::set<std::int32_t> latin = {3002, 3030, 4001, 4008};
  for (const auto& e : table) {
    bool hasLatin = false;
    for (char32_t c : CodePoints(e.Message)) {
      if ((c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z')) hasLatin = true;
      if (c > 0x7F) {
        EXPECT_TRUE((c >= 0x0410 && c <= 0x044F) || c == 0x0451 || c == 0x0401) << e.Code;
      }
    }
    EXPECT_EQ(hasLatin, latin.count(e.Code) == 1) << e.Code;
  }
  EXPECT_EQ(GetResultDescription(3002), "Длительность смены превысила 24 часа. Необходимо снять Z-отчет");
  EXPECT_EQ(GetResultDescription(16002), "Кофемашина в сосотояни ожидания запроса на приготовление продукта");
  EXPECT_EQ(GetResultDescription(3020), "Значение признака предмета расчёта вне допустимого диапазона");
}

}  // namespace
}  // namespace eqd
