#include "host/settings_file.h"

#include <gtest/gtest.h>

#include "automation/errors.h"
#include "host/host_error.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

// The table as "GetSettings" hands it over: [V], V[0..6, 0..N-1].
Variant GetSettingsOut(const std::vector<THostSettingStruct>& rows) {
  SafeArray v({ArrayBound{0, 7}, ArrayBound{0, static_cast<std::uint32_t>(rows.size())}});
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto j = static_cast<std::int64_t>(i);
    v.At({0, j}) = Variant(rows[i].ID);
    v.At({1, j}) = rows[i].Value;
    v.At({2, j}) = Variant(rows[i].TypeName);
    v.At({3, j}) = rows[i].Default;
    v.At({4, j}) = Variant(rows[i].ReadOnly);
    v.At({5, j}) = Variant(rows[i].Name);
    v.At({6, j}) = Variant(rows[i].Description);
  }
  return Variant::Array({Variant(std::move(v))});
}

const std::vector<THostSettingStruct> kTable = {
    {"DefaultTimeOut", Variant(120), "Number", Variant(120), false, "Таймаут по умолчанию", "..."},
    {"DebugLogEnabled", Variant(false), "Boolean", Variant(false), false, "Отладочный лог", "..."},
    {"SmtpServerPort", Variant("587"), "String", Variant("587"), false, "SMTP порт", "SMTP порт"},
};

TEST(SettingsFileTest, ReadsEntriesInFileOrderWithTheirJsonTypes) {
  test::TTempDir dir;
  const auto values = LoadSettingsFile(dir.Write(
      "s.json", "\xEF\xBB\xBF{\"SmtpServerPort\": \"2525\", \"DebugLogEnabled\": true, \"DefaultTimeOut\": 30}"));
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].ID, "SmtpServerPort");
  EXPECT_EQ(values[0].Value.StrValue(), "2525");
  EXPECT_EQ(values[1].Value.Vt(), VT_BOOL);
  EXPECT_EQ(values[2].Value.Vt(), VT_I4);
}

TEST(SettingsFileTest, RefusesFilesThatAreNoSettings) {
  test::TTempDir dir;
  EXPECT_THROW(LoadSettingsFile((dir.Path() / "missing.json").string()), EHostError);
  EXPECT_THROW(LoadSettingsFile(dir.Write("a.json", "[1, 2]")), EHostError);
  EXPECT_THROW(LoadSettingsFile(dir.Write("b.json", "{\"x\": ")), EHostError);
  EXPECT_THROW(LoadSettingsFile(dir.Write("c.json", "{\"x\": {\"y\": 1}}")), EConvertError);
  EXPECT_THROW(LoadSettingsFile(dir.Write("d.json", "{\"x\": " + std::string(100000, '[') + std::string(100000, ']') + "}")),
               EHostError);  // nested too deep
}

TEST(SettingsFileTest, ReadsTheDriversTable) {
  const auto table = ReadSettingsTable(GetSettingsOut(kTable));
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[1].ID, "DebugLogEnabled");
  EXPECT_EQ(table[1].TypeName, "Boolean");
  EXPECT_EQ(table[0].Name, "Таймаут по умолчанию");
  EXPECT_EQ(table[0].Default.IntValue(), 120);
  EXPECT_THROW(ReadSettingsTable(Variant()), EHostError);
  EXPECT_THROW(ReadSettingsTable(Variant::Array({Variant(1)})), EHostError);
}

TEST(SettingsFileTest, CommandLineTextBecomesAValueOfTheSettingsType) {
  struct Case {
    const char* type;
    const char* text;
    Variant expected;
  } good[] = {
      {"String", " 0587 ", Variant(" 0587 ")}, {"Number", "30", Variant(30)},        {"Number", "+30", Variant(30)},
      {"Number", "-2.5", Variant(-2.5)},       {"Boolean", "TRUE", Variant(true)},   {"Boolean", "0", Variant(false)},
      {"Date", "01.02.2024", Variant("01.02.2024")},
  };
  for (const Case& c : good) EXPECT_TRUE(SameValue(SettingTextToValue(c.type, c.text), c.expected)) << c.text;
  for (auto [type, text] : {std::pair{"Number", "abc"}, {"Number", ""}, {"Number", "1e5"}, {"Number", "+-1"},
                            {"Boolean", "yes"}, {"Boolean", ""}})
    EXPECT_THROW(SettingTextToValue(type, text), EHostError) << text;
}

TEST(SettingsFileTest, ResolvesIdsAgainstTheTableAndRefusesUnknownOnes) {
  const auto resolved = ResolveSettings(kTable, {{"smtpserverport", Variant("25")}},
                                        {{"DEBUGLOGENABLED", "true"}, {"SmtpServerPort", "2525"}});
  ASSERT_EQ(resolved.size(), 3u);
  EXPECT_EQ(resolved[0].ID, "SmtpServerPort");
  EXPECT_EQ(resolved[1].ID, "DebugLogEnabled");
  EXPECT_TRUE(SameValue(resolved[1].Value, Variant(true)));
  EXPECT_EQ(resolved[2].Value.StrValue(), "2525");  // --set comes after the file, so it wins

  EXPECT_THROW(ResolveSettings(kTable, {{"SmtpServerPrt", Variant("25")}}, {}), EHostError);
  EXPECT_THROW(ResolveSettings(kTable, {}, {{"Nope", "1"}}), EHostError);
  EXPECT_THROW(ResolveSettings(kTable, {}, {{"DefaultTimeOut", "soon"}}), EHostError);
}

TEST(SettingsFileTest, PacksSetSettingsInData) {
  const Variant in = SetSettingsInData({{"A", Variant("x")}, {"B", Variant(5)}});
  const SafeArray& s = *in.ArrayValue()->Elements()[0].ArrayValue();
  ASSERT_EQ(s.DimCount(), 2u);
  EXPECT_EQ(s.Bound(0).Count, 2u);
  EXPECT_EQ(s.Bound(1).Count, 2u);
  EXPECT_EQ(s.At({0, 1}).StrValue(), "B");
  EXPECT_EQ(s.At({1, 1}).IntValue(), 5);
}

}  // namespace
}  // namespace eqd
