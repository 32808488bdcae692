// The device information record (its defaults, "GetDeviceInfo") and the additional
// actions a device class may offer in the settings window.
#include "automation/module_info.h"
#include "automation/result_codes.h"
#include "device/base_device.h"
#include "device/device_texts.h"

namespace eqd {

void TBaseDevice::SetDefaultDeviceInfo() {
  // The third version component (the release) is not shown anywhere; the build is.
  const TModuleVersion version = GetModuleVersion();
  TDeviceInfoStruct info;
  info.TypeName = "Unknown";
  info.MajorVersion = version.Major;
  info.MinorVersion = version.Minor;
  info.BuildVersion = version.Build;
  info.ProcessorType = 1;
  info.IsSettingsDlgExist = false;
  info.DeveloperName = device_texts::kDeveloperName;
  info.CI_email = device_texts::kContactEmail;
  info.CI_www = device_texts::kContactWww;
  info.CI_Phones = device_texts::kContactPhones;
  info.CI_address = device_texts::kContactAddress;
  FDeviceInfo = std::move(info);
  OnSetDeviceInfo();
}

// Fifteen elements; DriverURL and DriverDescription are not reported.
std::int32_t TBaseDevice::GetDeviceInfoHandler(Variant&, Variant& OutData, std::int32_t, std::string&) {
  const TDeviceInfoStruct& i = FDeviceInfo;
  OutData = Variant::Array({
      Variant(i.TypeName), Variant(i.ModelID), Variant(i.ModelName), Variant(i.MajorVersion),
      Variant(i.MinorVersion), Variant(i.BuildVersion), Variant(i.ProcessorName), Variant(i.ProcessorType),
      Variant(i.IsSettingsDlgExist), Variant(i.Description), Variant(i.DeveloperName), Variant(i.CI_email),
      Variant(i.CI_www), Variant(i.CI_Phones), Variant(i.CI_address),
  });
  return rcOk;
}

std::string TBaseDevice::GetDeviceVersion() { return VersionText(FDeviceInfo); }

const TAdditionalAction* TBaseDevice::GetAddAction(std::int32_t Index) const {
  if (Index < 0 || Index >= AddActionsCount()) return nullptr;
  return &FAdditionalActions[static_cast<std::size_t>(Index)];
}

std::int32_t TBaseDevice::RunAdditionalAction(const std::string&, std::string& ResultDescription) {
  ResultDescription.clear();
  return rcOk;
}

bool TBaseDevice::DeviceTest(std::string& ResultDescription) {
  ResultDescription = GetResultDescription(rcCommandNotSupported);
  return false;
}

}  // namespace eqd
