#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

#include "device/device_fixture.h"

namespace eqd::test {
namespace {

// An S array [2 rows, settings from `low`], filled column by column with ID and value.
Variant SettingsInput(const std::vector<std::pair<Variant, Variant>>& entries, std::int32_t low = 0,
                      std::uint32_t rows = 2) {
  SafeArray s({ArrayBound{0, rows}, ArrayBound{low, static_cast<std::uint32_t>(entries.size())}});
  std::int64_t j = low;
  for (const auto& [id, value] : entries) {
    s.At({0, j}) = id;
    if (rows > 1) s.At({1, j}) = value;
    ++j;
  }
  return Variant::Array({Variant(std::move(s))});
}

const SafeArray& Table(const TPublicCall& call) {
  return *call.OutData.ArrayValue()->Elements().at(0).ArrayValue();
}

TEST_F(DeviceTest, GetSettingsGivesTheExchangeArray) {
  device_->SetSettingValue("Host", Variant(3.5));
  const TPublicCall call = Public("GetSettings");
  ASSERT_TRUE(call.Ok);
  ASSERT_EQ(call.OutData.Vt(), VT_ARRAY | VT_VARIANT);
  ASSERT_EQ(call.OutData.ArrayValue()->ElementCount(), 1u);
  const SafeArray& v = Table(call);
  ASSERT_EQ(v.DimCount(), 2u);
  EXPECT_EQ(v.LowBound(0), 0);
  EXPECT_EQ(v.HighBound(0), 6);
  EXPECT_EQ(v.LowBound(1), 0);
  EXPECT_EQ(v.HighBound(1), device_->SettingsCount() - 1);

  const Variant column0[] = {Variant("DefaultTimeOut"), Variant(std::int32_t{120}), Variant("Number"),
                             Variant(std::int32_t{120}), Variant(false), Variant("Таймаут по умолчанию"),
                             Variant(device_->GetSetting(0)->Description)};
  for (std::int64_t row = 0; row < 7; ++row)
    EXPECT_TRUE(SameValue(v.At({row, 0}), column0[row])) << "row " << row << ": " << ValueToText(v.At({row, 0}));
  // Values and defaults keep their own types; the read-only flag is published.
  EXPECT_TRUE(SameValue(v.At({1, 3}), Variant(3.5)));
  EXPECT_TRUE(SameValue(v.At({3, 3}), Variant("mail.example")));
  EXPECT_EQ(v.At({2, 2}).StrValue(), "Boolean");
  EXPECT_TRUE(SameValue(v.At({4, 4}), Variant(true)));
}

TEST_F(DeviceTest, TheExchangeArrayRoundTrips) {
  const TPublicCall before = Public("GetSettings");
  EXPECT_TRUE(Public("SetSettings", before.OutData).Ok);
  EXPECT_TRUE(SameValue(Public("GetSettings").OutData, before.OutData));
  EXPECT_EQ(device_->SettingsChangedCount, 1);
}

TEST_F(DeviceTest, SetSettingsTakesValuesAsTheyCome) {
  Variant cell("v");
  const Variant input = SettingsInput({
      {Variant("debuglogenabled"), Variant(true)},          // ASCII case folding
      {Variant("Locked"), Variant("changed")},              // read-only and another type
      {Variant("NoSuchSetting"), Variant(1)},               // skipped
      {Variant("Host"), Variant("first")},                  //
      {Variant("HOST"), Variant::ByRef(cell)},              // the later one stays, read through
  });
  EXPECT_TRUE(Public("SetSettings", input).Ok);
  EXPECT_TRUE(SameValue(device_->GetSettingValue("DebugLogEnabled"), Variant(true)));
  EXPECT_FALSE(device_->DebugLogEnabled());  // the trace starts at the next Enable
  EXPECT_TRUE(SameValue(device_->GetSettingValue("Locked"), Variant("changed")));
  EXPECT_TRUE(SameValue(device_->GetSettingValue("Locked", true), Variant(std::int32_t{7})));
  EXPECT_TRUE(SameValue(device_->GetSettingValue("Host"), Variant("v")));
  EXPECT_EQ(device_->SettingsCount(), 5);

  // The second dimension is read from its own low bound, wherever that lies.
  for (std::int32_t low : {1, -3, std::numeric_limits<std::int32_t>::max() - 1}) {
    EXPECT_TRUE(Public("SetSettings", SettingsInput({{Variant("Host"), Variant(low)}, {Variant("Locked"), Variant(low)}},
                                                    low))
                    .Ok)
        << low;
    EXPECT_TRUE(SameValue(device_->GetSettingValue("Host"), Variant(low))) << low;
    EXPECT_TRUE(SameValue(device_->GetSettingValue("Locked"), Variant(low))) << low;
  }
}

TEST_F(DeviceTest, SetSettingsRefusesMalformedInput) {
  SafeArray flat({ArrayBound{0, 2}});
  flat.Elements() = {Variant("Host"), Variant("x")};
  SafeArray direct({ArrayBound{0, 2}, ArrayBound{0, 1}});
  direct.At({0, 0}) = Variant("Host");
  struct Case {
    const char* what;
    Variant input;
    std::int32_t code;
  } cases[] = {
      {"Empty", Variant(), 1004},
      {"string", Variant("Host=x"), 1004},
      {"number", Variant(std::int32_t{5}), 1004},
      {"array without data", Variant::EmptyArray(), 1001},
      {"array without element 0", Variant::Array({}), 1001},
      {"element 0 is a string", Variant::Array({Variant("Host")}), 1001},
      {"element 0 is one-dimensional", Variant::Array({Variant(std::move(flat))}), 1001},
      {"the table itself, not wrapped", Variant(std::move(direct)), 1001},
  };
  for (const Case& c : cases) {
    const TPublicCall call = Public("SetSettings", c.input);
    EXPECT_FALSE(call.Ok) << c.what;
    EXPECT_EQ(call.OutData.ArrayValue()->Elements()[0].IntValue(), c.code) << c.what;
  }
  EXPECT_EQ(device_->SettingsChangedCount, 0);
  EXPECT_TRUE(SameValue(device_->GetSettingValue("Host"), Variant("mail.example")));
}

TEST_F(DeviceTest, SetSettingsKeepsEntriesBeforeTheFailingOne) {
  // One row only: unknown IDs pass, the first known one has no value to read.
  const TPublicCall oneRow =
      Public("SetSettings", SettingsInput({{Variant("Unknown"), Variant()}, {Variant("Host"), Variant()}}, 0, 1));
  EXPECT_FALSE(oneRow.Ok);
  EXPECT_EQ(oneRow.OutData.ArrayValue()->Elements()[0].IntValue(), 1001);

  // An ID that is no text stops the loop after the entries before it.
  const TPublicCall badId = Public(
      "SetSettings", SettingsInput({{Variant("Host"), Variant("kept")},
                                    {Variant::Array({Variant(1)}), Variant()},
                                    {Variant("Locked"), Variant("never")}}));
  EXPECT_FALSE(badId.Ok);
  EXPECT_EQ(badId.OutData.ArrayValue()->Elements()[0].IntValue(), 1001);
  EXPECT_TRUE(SameValue(device_->GetSettingValue("Host"), Variant("kept")));
  EXPECT_TRUE(SameValue(device_->GetSettingValue("Locked"), Variant(std::int32_t{7})));
  EXPECT_EQ(device_->SettingsChangedCount, 0);
}

TEST_F(DeviceTest, SnapshotPutsTheOldValuesBack) {
  device_->StoreSettings();
  EXPECT_TRUE(Public("SetSettings", SettingsInput({{Variant("Host"), Variant("new")},
                                                   {Variant("DefaultTimeOut"), Variant(5)}}))
                  .Ok);
  const int changed = device_->SettingsChangedCount;
  device_->RestoreSettings();
  EXPECT_TRUE(SameValue(device_->GetSettingValue("Host"), Variant("mail.example")));
  EXPECT_TRUE(SameValue(device_->GetSettingValue("DefaultTimeOut"), Variant(std::int32_t{120})));
  EXPECT_TRUE(device_->BufSettings().empty());
  EXPECT_EQ(device_->SettingsChangedCount, changed);

  // A second restore without a new snapshot changes nothing.
  device_->SetSettingValue("Host", Variant("after"));
  device_->RestoreSettings();
  EXPECT_TRUE(SameValue(device_->GetSettingValue("Host"), Variant("after")));

  // A named snapshot covers only its names; a name that is no setting holds Empty and
  // is skipped on restore.
  device_->StoreSettings({"host", "NoSuchSetting"});
  ASSERT_EQ(device_->BufSettings().size(), 2u);
  EXPECT_TRUE(device_->BufSettings()[1].Value.IsEmpty());
  device_->SetSettingValue("Host", Variant("x"));
  device_->SetSettingValue("DefaultTimeOut", Variant(9));
  device_->RestoreSettings();
  EXPECT_TRUE(SameValue(device_->GetSettingValue("Host"), Variant("after")));
  EXPECT_TRUE(SameValue(device_->GetSettingValue("DefaultTimeOut"), Variant(9)));
  EXPECT_EQ(device_->SettingsCount(), 5);
}

}  // namespace
}  // namespace eqd::test
