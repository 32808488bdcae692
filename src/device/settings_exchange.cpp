// The settings exchange with the host ("GetSettings", "SetSettings") and the settings
// snapshot the settings window uses to try values and put the old ones back.
//
// The exchange array is a one-element array holding V, a two-dimensional array indexed
// [attribute, setting]: rows 0..6 are ID, value, type name, default, read-only flag,
// name and description; columns are the settings in list order.
#include "automation/errors.h"
#include "automation/result_codes.h"
#include "automation/value_text.h"
#include "automation/variant_convert.h"
#include "device/base_device.h"
#include "device/device_texts.h"

namespace eqd {

namespace {
constexpr std::int64_t kRowID = 0;
constexpr std::int64_t kRowValue = 1;
constexpr std::uint32_t kRowCount = 7;
}  // namespace

std::int32_t TBaseDevice::GetSettingsHandler(Variant&, Variant& OutData, std::int32_t, std::string&) {
  const auto count = static_cast<std::uint32_t>(FSettingList.size());
  SafeArray v({ArrayBound{0, kRowCount}, ArrayBound{0, count}});
  std::int64_t column = 0;
  for (const TSettingStruct& s : FSettingList) {
    v.At({0, column}) = Variant(s.ID);
    v.At({1, column}) = s.Value;
    v.At({2, column}) = Variant(DataTypeToText(s.ValueType));
    v.At({3, column}) = s.Default;
    v.At({4, column}) = Variant(s.ReadOnly);
    v.At({5, column}) = Variant(s.Name);
    v.At({6, column}) = Variant(s.Description);
    ++column;
  }
  OutData = Variant::Array({Variant(std::move(v))});
  return rcOk;
}

// Values are taken as they come: no conversion, no read-only check. Each entry is
// applied as soon as it is read, so a malformed entry stops the loop with the entries
// before it kept; the error becomes the call's 1001.
std::int32_t TBaseDevice::SetSettingsHandler(Variant& InData, Variant&, std::int32_t, std::string&) {
  const Variant& in = InData.Deref();
  if (!in.IsArray()) return rcInvalidParameters;
  const SafeArray* outer = in.ArrayValue();
  if (outer == nullptr || outer->DimCount() != 1 || outer->LowBound(0) > 0 || outer->HighBound(0) < 0)
    throw ERangeError(device_texts::kNoSettingsArray);
  const Variant& s = outer->At({0}).Deref();
  const SafeArray* table = s.IsArray() ? s.ArrayValue() : nullptr;
  if (table == nullptr || table->DimCount() != 2) throw ERangeError(device_texts::kSettingsNotTwoDimensional);
  for (std::int64_t j = table->LowBound(1); j <= table->HighBound(1); ++j) {
    const std::string id = VarToStr(table->At({kRowID, j}));
    if (PSettingStruct setting = FindSetting(id)) setting->Value = table->At({kRowValue, j}).Deref();
  }
  OnSettingsChanged();
  return rcOk;
}

void TBaseDevice::StoreSettings() {
  std::vector<TShortSettingStruct> snapshot;
  snapshot.reserve(FSettingList.size());
  for (const TSettingStruct& s : FSettingList) snapshot.push_back({s.ID, s.Value});
  FBufSettings = std::move(snapshot);
}

void TBaseDevice::StoreSettings(const std::vector<std::string>& Settings) {
  std::vector<TShortSettingStruct> snapshot;
  snapshot.reserve(Settings.size());
  for (const std::string& id : Settings) {
    const PSettingStruct setting = FindSetting(id);
    snapshot.push_back({id, setting != nullptr ? setting->Value : Variant()});
  }
  FBufSettings = std::move(snapshot);
}

void TBaseDevice::RestoreSettings() {
  for (const TShortSettingStruct& entry : FBufSettings)
    if (PSettingStruct setting = FindSetting(entry.ID)) setting->Value = entry.Value;
  FBufSettings.clear();
}

}  // namespace eqd
