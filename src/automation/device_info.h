// The device information record every device keeps, and the texts made from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace eqd {

// Fields in declaration order; the strings are UTF-8.
struct TDeviceInfoStruct {
  std::string TypeName;     // device type name ("Unknown", "EMailClient", ...)
  std::string ModelID;
  std::string ModelName;
  std::int32_t MajorVersion = 0;
  std::int32_t MinorVersion = 0;
  std::int32_t BuildVersion = 0;
  std::string ProcessorName;  // ProgID of the automation class serving the device
  std::int32_t ProcessorType = 0;
  bool IsSettingsDlgExist = false;  // an automation Boolean to the host
  std::string Description;
  std::string DeveloperName;
  std::string CI_email;
  std::string CI_www;
  std::string CI_Phones;
  std::string CI_address;
  std::string DriverURL;
  std::string DriverDescription;
};

// The Russian display name of a device type name (exact comparison, case included);
// a name not in the table comes back unchanged.
std::string DeviceTypeDisplayName(std::string_view TypeName);

// "E-mail:\t<email>\r\nWeb:\t<www>\r\nТел:\t<phones>\r\nАдрес:\t<address>\r\n".
std::string ContactInfoText(const TDeviceInfoStruct& Info);

// "<major>.<minor>.<build>".
std::string VersionText(const TDeviceInfoStruct& Info);

}  // namespace eqd
