// The debug-log header written each time the trace is switched on, and the device's
// event log entries (mirrored into the trace, passed to the host's event log).
#include <cstdio>

#include "automation/module_info.h"
#include "automation/value_text.h"
#include "automation/variant_convert.h"
#include "device/base_device.h"

namespace eqd {

namespace {
constexpr char kHeaderBlank[] = "                                        ";
constexpr char kHeaderBegin[] = "============Begin debug log=============";
constexpr char kHeaderSettings[] = "----------------Settings----------------";
constexpr char kHeaderEnd[] = "----------------------------------------";
static_assert(sizeof(kHeaderBlank) == 41 && sizeof(kHeaderBegin) == 41 && sizeof(kHeaderSettings) == 41 &&
              sizeof(kHeaderEnd) == 41);
}  // namespace

// Each stretch of the trace starts with the configuration it was made under: driver
// version, device, and every setting as it stands, a secret one masked.
void TBaseDevice::BeginDebugLog() {
  const TModuleVersion v = GetModuleVersion();
  char version[32];
  std::snprintf(version, sizeof version, "%d.%d.%d", int{v.Major}, int{v.Minor}, int{v.Build});
  WriteDebugLog(kHeaderBlank, {}, true);
  WriteDebugLog(kHeaderBegin, {}, true);
  WriteDebugLog("driver ver.", version);
  WriteDebugLog("device ID", FDeviceID);
  WriteDebugLog(kHeaderSettings, {}, true);
  for (const TSettingStruct& s : FSettingList) WriteDebugLog(s.ID, ValueToText(s.Secret ? MaskedSecret(s.Value) : s.Value));
  WriteDebugLog(kHeaderEnd, {}, true);
}

bool TBaseDevice::WriteLog(const std::string& Name, const std::string& Text, std::int32_t EventType) {
  WriteDebugLog(Name, Text);
  if (!GetSettingValueBool("EventLogEnabled") || !HasEqManager()) return false;
  Variant type(EventType);
  std::vector<Variant> args{Variant(FDeviceID), Variant(Name), Variant(Text), Variant::ByRef(type, false)};
  return VarToBool(CallEqManager("WriteLog", args));
}

}  // namespace eqd
