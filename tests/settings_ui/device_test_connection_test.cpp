// The settings window's device test with the driver's real connection step, against the
// loopback servers: the real one (STARTTLS, AUTH LOGIN) and the scripted fault server.
// Whatever the outcome, the settings are back and the device is disabled.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "automation/scratch_folder.h"
#include "automation/variant_convert.h"
#include "mail/driver.h"
#include "settings_ui/driver_connection_test.h"
#include "settings_ui/recording_views.h"
#include "support/smtp_server_fixture.h"

namespace eqd::test {
namespace {

TEST(DeviceTestConnection, ReportsWhatTheServerSaid) {
  eqd::testing::ScratchFolder scratch;
  TSmtpServerProcess server;
  TTempDir faultDir("eqd-fault-server-");
  TChildProcess fault({kPython, EQ_FAULT_SERVER_SCRIPT, "--port-file", faultDir.File("ports"), "--log-dir",
                       faultDir.File("log"), "--cert-dir", faultDir.File("cert")});
  ASSERT_TRUE(WaitForFile(faultDir.File("ports"), std::chrono::seconds(30))) << "the fault server did not start";
  const nlohmann::json faultPorts = nlohmann::json::parse(ReadFileBytes(faultDir.File("ports")));

  struct TCase {
    const char* Name;
    int Port;
    const char* Password;
    std::string Error;  // the start of the error box; empty: "Успешно!" and no error box
  };
  const TCase cases[] = {
      {"logs in", server.Port(), "s3cret-Пароль", ""},
      {"wrong password", server.Port(), "wrong", "Авторизация LOGIN: сервер не принял имя пользователя или пароль."},
      {"STARTTLS refused", faultPorts.at("starttls_454").get<int>(), "pass",
       "Переход на TLS (STARTTLS): сервер отказался перейти на TLS."},
      {"nothing listening", faultPorts.at("refused").get<int>(), "pass",
       "Подключение к 127.0.0.1:" + std::to_string(faultPorts.at("refused").get<int>()) +
           ": сервер отказал в соединении"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TDeviceOwner<TDriver> driver = CreateDevice<TDriver>();
    TRecordingWindowView view;
    TfrmCommonSettings window(*driver, {"TfrmMainSettings"}, view);
    dynamic_cast<TfrmMainSettings&>(*window.Pages().front()).SetView(&view);
    window.SetConnectionTest(DriverConnectionTest());
    window.Open();
    view.Fields[mfSmtpServerName] = "127.0.0.1";
    view.Fields[mfSmtpServerPort] = std::to_string(c.Port);
    view.Fields[mfSmtpServerUser] = "mailer";
    view.Fields[mfSmtpServerPassword] = c.Password;
    view.Fields[mfUserEmail] = "robot@example.test";
    const int before = server.MessageCount();
    window.MenuCommand(mcDeviceTest);
    if (c.Error.empty()) {
      EXPECT_TRUE(view.Errors.empty()) << view.Errors.front();
    } else {
      ASSERT_EQ(view.Errors.size(), 1u);
      EXPECT_EQ(view.Errors.front().rfind(c.Error, 0), 0u) << view.Errors.front();
    }
    EXPECT_EQ(server.MessageCount(), before);  // nothing is sent
    EXPECT_FALSE(driver->Enabled());
    EXPECT_EQ(driver->GetSettingValueStr("SmtpServerName"), "smtp.yandex.ru");
    EXPECT_EQ(driver->GetSettingValueStr("SmtpServerPassword"), "");
  }
}

}  // namespace
}  // namespace eqd::test
