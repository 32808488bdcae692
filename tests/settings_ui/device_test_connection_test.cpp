// The settings window's device test with the driver's real connection step, against the
// loopback servers: the real one (STARTTLS, AUTH LOGIN) and the scripted fault server.
// Whatever the outcome, the settings are back and the device is disabled.
#include <gtest/gtest.h>

#include <future>

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
      // What failed, in the window's words, then the driver's own text.
      ASSERT_EQ(view.Errors.size(), 1u);
      EXPECT_EQ(view.Errors.front().rfind("Проверка подключения к SMTP-серверу не пройдена.\r\n\r\n" + c.Error, 0), 0u)
          << view.Errors.front();
    }
    EXPECT_EQ(server.MessageCount(), before);  // nothing is sent
    EXPECT_FALSE(driver->Enabled());
    EXPECT_EQ(driver->GetSettingValueStr("SmtpServerName"), "smtp.yandex.ru");
    EXPECT_EQ(driver->GetSettingValueStr("SmtpServerPassword"), "");
  }
}

// "Отмена" while the check waits for a server that never answers (or never completes the
// connection) ends it at once: far sooner than the 30-second wait for the server, and
// the check's connection is closed with it. Wherever the check is when it is cancelled (before connecting
// included), it ends the same way, so no ordering between the two threads matters.
TEST(DeviceTestConnection, CancelEndsTheWaitForASilentServer) {
  eqd::testing::ScratchFolder scratch;
  TTempDir faultDir("eqd-fault-server-");
  TChildProcess fault({kPython, EQ_FAULT_SERVER_SCRIPT, "--port-file", faultDir.File("ports"), "--log-dir",
                       faultDir.File("log"), "--cert-dir", faultDir.File("cert")});
  ASSERT_TRUE(WaitForFile(faultDir.File("ports"), std::chrono::seconds(30))) << "the fault server did not start";
  const nlohmann::json faultPorts = nlohmann::json::parse(ReadFileBytes(faultDir.File("ports")));

  for (const char* scenario : {"silent", "blackhole"}) {
    SCOPED_TRACE(scenario);
    TDeviceOwner<TDriver> driver = CreateDevice<TDriver>();
    driver->SetSettingValue("SmtpServerName", Variant("127.0.0.1"));
    driver->SetSettingValue("SmtpServerPort", Variant(std::to_string(faultPorts.at(scenario).get<int>())));
    driver->SetSettingValue("SmtpServerUser", Variant("mailer"));
    driver->SetSettingValue("SmtpServerPassword", Variant("pass"));
    driver->SetSettingValue("UserEmail", Variant("robot@example.test"));
    const std::unique_ptr<TConnectionCheck> check = DriverConnectionTest()(*driver);
    ASSERT_NE(check, nullptr);
    std::string message;
    auto run = std::async(std::launch::async, [&] { return check->Run(message); });
    check->Cancel();
    ASSERT_EQ(run.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "the check did not stop";
    EXPECT_FALSE(run.get());
    EXPECT_TRUE(check->Cancelled());
  }
}

}  // namespace
}  // namespace eqd::test
