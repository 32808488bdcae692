#include "automation/device_info.h"

#include <gtest/gtest.h>

namespace eqd {
namespace {

TEST(DeviceInfoTest, DisplayNamesContactTextAndVersion) {
  EXPECT_EQ(DeviceTypeDisplayName("EMailClient"), "Клиент электронной почты");
  EXPECT_EQ(DeviceTypeDisplayName("emailclient"), "emailclient");
  EXPECT_EQ(DeviceTypeDisplayName("Printer3D"), "Printer3D");
  EXPECT_EQ(DeviceTypeDisplayName("Unknown"), "Неизвестный тип");
  EXPECT_EQ(DeviceTypeDisplayName("FastPaymentSystem"), "C\xD0\xB8стема быстрых платежей");  // Latin C first
  EXPECT_EQ(DeviceTypeDisplayName("EcrOnline3"), "ККТ с функцией передачи в ОФД БПО 3.X");

  TDeviceInfoStruct info;
  info.CI_email = "a@b";
  info.CI_address = "Москва";
  EXPECT_EQ(ContactInfoText(info), "E-mail:\ta@b\r\nWeb:\t\r\nТел:\t\r\nАдрес:\tМосква\r\n");
  info.MajorVersion = 4;
  info.MinorVersion = 1;
  info.BuildVersion = 25;
  EXPECT_EQ(VersionText(info), "4.1.25");
}

}  // namespace
}  // namespace eqd
