#include "automation/ascii_case.h"

#include <gtest/gtest.h>

namespace eqd {
namespace {

TEST(AsciiCaseTest, OnlyAsciiLettersFoldTheirCase) {
  struct Case {
    std::string_view A, B;
    bool Same;
  } cases[] = {
      {"SendMail", "sendmail", true},
      {"SMTPSERVERNAME", "SmtpServerName", true},
      {"", "", true},
      {"@[`{", "@[`{", true},      // the neighbours of the letter ranges stay themselves
      {"@", "`", false},
      {"[", "{", false},
      {"Почта", "почта", false},   // Cyrillic letters must match exactly
      {"Почта", "Почта", true},
      {"Send", "Sends", false},
  };
  for (const Case& c : cases) EXPECT_EQ(AsciiSameText(c.A, c.B), c.Same) << c.A << " / " << c.B;

  EXPECT_EQ(AsciiLowerCase("Report.PDF"), "report.pdf");
  EXPECT_EQ(AsciiLowerCase("ОТЧЁТ.Csv"), "ОТЧЁТ.csv");
  EXPECT_EQ(AsciiLowerCase(std::string_view("A\0B", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace eqd
