// The settings list of TBaseObject.
#include "automation/ascii_case.h"
#include "automation/base_object.h"
#include "automation/variant_convert.h"

namespace eqd {

const TSettingStruct* TBaseObject::FindSettingEntry(std::string_view ID) const {
  for (const TSettingStruct& s : FSettingList)
    if (AsciiSameText(s.ID, ID)) return &s;
  return nullptr;
}

PSettingStruct TBaseObject::FindSetting(std::string_view ID) { return const_cast<PSettingStruct>(FindSettingEntry(ID)); }

PSettingStruct TBaseObject::GetSetting(std::int32_t Index) {
  if (Index < 0 || Index >= SettingsCount()) return nullptr;
  return &FSettingList[static_cast<std::size_t>(Index)];
}

void TBaseObject::AddSetting(std::string_view ID, TDataType ValueType, const Variant& Default, bool ReadOnly,
                             std::string_view Name, std::string_view Description) {
  if (PSettingStruct s = FindSetting(ID)) {
    // Registered again: the value goes back to the new default; type, name, the
    // spelling of the ID and the place in the list stay.
    s->Value = Default;
    s->Default = Default;
    s->ReadOnly = ReadOnly;
    s->Description = std::string(Description);
    return;
  }
  FSettingList.push_back(TSettingStruct{std::string(ID), Default, ValueType, Default, ReadOnly, std::string(Name),
                                        std::string(Description)});
}

Variant TBaseObject::GetSettingValue(std::string_view ID, bool Default) const {
  const TSettingStruct* s = FindSettingEntry(ID);
  if (s == nullptr) return Variant();
  return Default ? s->Default : s->Value;
}

bool TBaseObject::GetSettingValueBool(std::string_view ID) const { return VarToBool(GetSettingValue(ID)); }
std::int32_t TBaseObject::GetSettingValueInt(std::string_view ID) const { return VarToInt32(GetSettingValue(ID)); }
Currency TBaseObject::GetSettingValueCurr(std::string_view ID) const { return VarToCurrency(GetSettingValue(ID)); }
double TBaseObject::GetSettingValueDbl(std::string_view ID) const { return VarToDouble(GetSettingValue(ID)); }
std::string TBaseObject::GetSettingValueStr(std::string_view ID) const { return VarToStr(GetSettingValue(ID)); }
DateValue TBaseObject::GetSettingValueDate(std::string_view ID) const {
  return DateValue{VarToDouble(GetSettingValue(ID))};
}

bool TBaseObject::GetSettingReadOnly(std::string_view ID) const {
  const TSettingStruct* s = FindSettingEntry(ID);
  return s != nullptr && s->ReadOnly;
}

void TBaseObject::SetSettingValue(std::string_view ID, const Variant& Value) {
  if (PSettingStruct s = FindSetting(ID)) s->Value = Value;
}

void TBaseObject::SetSettingSecret(std::string_view ID, bool Secret) {
  if (PSettingStruct s = FindSetting(ID)) s->Secret = Secret;
}

bool TBaseObject::IsSecretSetting(std::string_view ID) const {
  const TSettingStruct* s = FindSettingEntry(ID);
  return s != nullptr && s->Secret;
}

std::string TBaseObject::TraceText(const Variant& Value) const {
  return ValueToText(Value, [this](std::string_view ID) { return IsSecretSetting(ID); });
}

std::string TBaseObject::TraceText(const SafeArray& Value) const {
  return ValueToText(Value, [this](std::string_view ID) { return IsSecretSetting(ID); });
}

void TBaseObject::SetAllSettingsDefault() {
  for (TSettingStruct& s : FSettingList) s.Value = s.Default;
}

}  // namespace eqd
