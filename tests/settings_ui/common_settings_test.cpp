// The settings window's core over the real e-mail driver, with a recording view: the
// page protocol, the menu states, the device test, the settings list, Cancel, help.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <stdexcept>

#include "automation/call_trace.h"
#include "automation/scratch_folder.h"
#include "automation/variant_convert.h"
#include "mail/driver.h"
#include "platform/clock.h"
#include "settings_ui/recording_views.h"

namespace eqd::test {
namespace {

// A page that writes down what the window asks of it and consents as told.
class TJournalPage : public TfrmBaseSettings {
 public:
  TJournalPage(TBaseDevice& device, std::string name, std::vector<std::string>& journal, bool consent = true)
      : TfrmBaseSettings(device, name), name_(std::move(name)), journal_(journal), consent_(consent) {}
  using TfrmBaseSettings::OnSaveSettings;
  void OnSaveSettings(bool& AllowColse) override {
    journal_.push_back(name_ + " consent");
    AllowColse = consent_;
  }
  void OnSaveSettings() override {
    journal_.push_back(name_ + " save");
    FDeviceManager.SetSettingValue("Subject", Variant(name_));
  }
  void OnReadSettings() override { journal_.push_back(name_ + " read"); }
  void OnNotify(const std::string& Msg, const std::string& Data) override {
    journal_.push_back(name_ + " notice " + Msg + "=" + Data);
  }

 private:
  std::string name_;
  std::vector<std::string>& journal_;
  bool consent_;
};

// A connection step that answers as told.
class TScriptedCheck : public TConnectionCheck {
 public:
  explicit TScriptedCheck(bool works) : works_(works) {}
  bool Run(std::string& Message) override {
    Message = "Connection refused";
    return works_;
  }

 protected:
  void Abort() override {}

 private:
  bool works_;
};

// The driver with additional actions of its own.
class TActionDriver : public TDriver {
 public:
  using TDriver::FAdditionalActions;
  std::vector<std::string> Ran;
  std::int32_t RunAdditionalAction(const std::string& ID, std::string& ResultDescription) override {
    Ran.push_back(ID);
    ResultDescription = "Действие не выполнено";
    return ID == "fail" ? 1001 : 0;
  }
};

class CommonSettingsTest : public ::testing::Test {
 protected:
  eqd::testing::ScratchFolder scratch;
  TDeviceOwner<TActionDriver> driver = CreateDevice<TActionDriver>();
  TRecordingWindowView view;

  // The window with the driver's SMTP page, opened as the toolkit layer opens it.
  std::unique_ptr<TfrmCommonSettings> OpenWindow(std::vector<TSettingsPageClass> pages = {"TfrmMainSettings"}) {
    auto window = std::make_unique<TfrmCommonSettings>(*driver, pages, view);
    for (const auto& page : window->Pages())
      if (auto* main = dynamic_cast<TfrmMainSettings*>(page.get())) main->SetView(&view);
    window->SetHelpFolder(scratch.Path().string());
    window->Open();
    return window;
  }
  void SetWorkingSmtpSettings() {
    driver->SetSettingValue("SmtpServerUser", Variant("mailer"));
    driver->SetSettingValue("SmtpServerPassword", Variant("secret"));
    driver->SetSettingValue("UserEmail", Variant("robot@example.test"));
  }
  // Every setting's value, to compare before and after.
  std::vector<Variant> Values() const {
    std::vector<Variant> v;
    for (std::int32_t i = 0; i < driver->SettingsCount(); ++i) v.push_back(driver->GetSetting(i)->Value);
    return v;
  }
  void ExpectValues(const std::vector<Variant>& expected) const {
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(driver->SettingsCount()));
    for (std::int32_t i = 0; i < driver->SettingsCount(); ++i)
      EXPECT_TRUE(SameValue(expected[i], driver->GetSetting(i)->Value))
          << driver->GetSetting(i)->ID << " = " << VarToStr(driver->GetSetting(i)->Value);
  }
};

TEST_F(CommonSettingsTest, PagesReadOnOpenAndSaveEveryFieldAsTextOnOk) {
  driver->SetSettingValue("SmtpServerPort", Variant(std::int32_t{2525}));
  auto window = OpenWindow();
  EXPECT_EQ(view.Fields[mfSmtpServerName], "smtp.yandex.ru");
  EXPECT_EQ(view.Fields[mfSmtpServerPort], "2525");
  EXPECT_EQ(window->Pages().front()->Caption(), "Настройки");

  view.Fields[mfSmtpServerUser] = "Пользователь";
  view.Fields[mfBodyText] = "строка 1\r\nстрока 2";
  EXPECT_TRUE(window->CloseQuery(true));
  EXPECT_TRUE(SameValue(driver->GetSettingValue("SmtpServerPort"), Variant("2525")));
  EXPECT_EQ(driver->GetSettingValueStr("SmtpServerUser"), "Пользователь");
  EXPECT_EQ(driver->GetSettingValueStr("BodyText"), "строка 1\r\nстрока 2");
  EXPECT_TRUE(driver->BufSettings().empty());
}

TEST_F(CommonSettingsTest, RefusingPageKeepsTheWindowOpenAfterTheEarlierPagesSaved) {
  std::vector<std::string> journal;
  auto window = OpenWindow({});
  window->AddPage(std::make_unique<TJournalPage>(*driver, "A", journal));
  window->AddPage(std::make_unique<TJournalPage>(*driver, "B", journal, false));
  window->AddPage(std::make_unique<TJournalPage>(*driver, "C", journal));
  window->Pages()[1]->NotifyOwner("m", "d");
  EXPECT_FALSE(window->CloseQuery(true));
  EXPECT_EQ(journal, (std::vector<std::string>{"A notice m=d", "B notice m=d", "C notice m=d", "A consent", "A save",
                                               "B consent"}));
  EXPECT_EQ(driver->GetSettingValueStr("Subject"), "A");
  EXPECT_TRUE(view.Errors.empty());  // a refusing page speaks for itself
}

TEST_F(CommonSettingsTest, PageHelpersEnableWithThePagesValuesAndPutThemBack) {
  std::vector<std::string> journal;
  TJournalPage alone(*driver, "X", journal);
  alone.NotifyOwner("m", "d");  // no window: nobody hears it
  EXPECT_TRUE(journal.empty());

  SetWorkingSmtpSettings();
  const auto before = Values();
  std::string description;
  EXPECT_EQ(alone.EnableDevice(description), 0) << description;
  EXPECT_TRUE(driver->Enabled());
  EXPECT_EQ(driver->GetSettingValueStr("Subject"), "X");
  alone.DisableDevice();
  EXPECT_FALSE(driver->Enabled());
  ExpectValues(before);

  TJournalPage refusing(*driver, "R", journal, false);
  EXPECT_EQ(refusing.EnableDevice(description), 1020);
  EXPECT_EQ(description, "Неверные параметры устройства");
  EXPECT_FALSE(driver->Enabled());
  refusing.DisableDevice();

  // With a list, only the listed settings come back.
  driver->SetSettingValue("BodyText", Variant("до"));
  EXPECT_EQ(alone.EnableDevice({"Subject"}), 0);
  driver->SetSettingValue("BodyText", Variant("после"));
  alone.DisableDevice();
  EXPECT_EQ(driver->GetSettingValueStr("Subject"), "");
  EXPECT_EQ(driver->GetSettingValueStr("BodyText"), "после");
}

TEST_F(CommonSettingsTest, MenuStates) {
  auto window = OpenWindow();
  const auto visible = [&](TMenuCommand c) { return window->FindMenuItem(c)->Visible; };
  EXPECT_TRUE(visible(mcReset));
  EXPECT_TRUE(visible(mcDeviceTest));
  EXPECT_TRUE(visible(mcSettingsList));
  EXPECT_FALSE(visible(mcOpenDebugLog));
  EXPECT_FALSE(visible(mcHelp));  // no help.chm beside the module
  EXPECT_EQ(window->MenuItems().size(), 6u);

  // The debug-log submenu follows the setting as it stands in the list when the menu opens.
  driver->SetSettingValue("DebugLogEnabled", Variant(true));
  window->MenuOpening();
  EXPECT_TRUE(visible(mcOpenDebugLog));
  driver->SetSettingValue("DebugLogEnabled", Variant("нет"));
  window->MenuOpening();
  EXPECT_FALSE(visible(mcOpenDebugLog));

  window->SetCapDeviceTest(false);
  EXPECT_FALSE(visible(mcDeviceTest));
  window->MenuCommand(mcDeviceTest);  // a hidden item does nothing
  EXPECT_EQ(view.WaitDepth, 0);
  EXPECT_TRUE(view.Errors.empty());

  // No page: no reset. help.chm present: "Справка", opening the file.
  std::ofstream(scratch.Path() / "help.chm") << "chm";
  auto bare = OpenWindow({});
  EXPECT_FALSE(bare->FindMenuItem(mcReset)->Visible);
  EXPECT_TRUE(bare->FindMenuItem(mcHelp)->Visible);
  bare->MenuCommand(mcHelp);
  EXPECT_EQ(view.Opened, std::vector<std::string>{(scratch.Path() / "help.chm").string()});
}

TEST_F(CommonSettingsTest, AdditionalActionsFollowASeparatorAndShowTheirFailures) {
  driver->FAdditionalActions = {{"ok", "Первое"}, {"fail", "Второе"}};
  auto window = OpenWindow();
  const auto& menu = window->MenuItems();
  ASSERT_EQ(menu.size(), 9u);
  EXPECT_EQ(menu[6].Command, mcSeparator);
  EXPECT_EQ(menu[7].Caption, "Первое");
  window->MenuCommand(menu[7].Command);
  EXPECT_TRUE(view.Errors.empty());
  window->MenuCommand(menu[8].Command);
  EXPECT_EQ(driver->Ran, (std::vector<std::string>{"ok", "fail"}));
  EXPECT_EQ(view.Errors, std::vector<std::string>{"Действие не выполнено"});
}

// Whatever the outcome, the device ends disabled, the settings list holds what it held
// before, the buffer is empty, the pointer is normal and the pages keep what was typed.
TEST_F(CommonSettingsTest, DeviceTestRestoresSettingsAndDisablesWhateverTheOutcome) {
  struct TCase {
    const char* Name;
    bool Settings;             // working SMTP settings typed on the page
    bool PageRefuses;
    int Connection;            // 0 none, 1 works, 2 fails, 3 raises
    const char* Error;         // nullptr: no error box
  };
  const TCase cases[] = {
      {"page refuses", true, true, 1, "Не удалось записать текущие настройки"},
      {"enable fails", false, false, 1, "Не задан SMTP пользователь"},
      {"connection fails", true, false, 2, "Connection refused"},
      {"connection raises", true, false, 3, "сбой"},
      {"works", true, false, 1, nullptr},
      {"no connection step", true, false, 0, nullptr},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    view = TRecordingWindowView();
    std::vector<std::string> journal;
    auto window = OpenWindow();
    if (c.PageRefuses) window->AddPage(std::make_unique<TJournalPage>(*driver, "R", journal, false));
    bool connected = false;
    if (c.Connection != 0)
      window->SetConnectionTest([&](TBaseDevice& device) -> std::unique_ptr<TConnectionCheck> {
        // Made on the window's thread with the device enabled and the pages' values in.
        connected = true;
        EXPECT_TRUE(device.Enabled());
        EXPECT_EQ(device.GetSettingValueStr("SmtpServerUser"), "mailer");
        if (c.Connection == 3) throw std::runtime_error("сбой");
        return std::make_unique<TScriptedCheck>(c.Connection == 1);
      });
    const auto before = Values();
    if (c.Settings) {
      view.Fields[mfSmtpServerUser] = "mailer";
      view.Fields[mfSmtpServerPassword] = "secret";
      view.Fields[mfUserEmail] = "robot@example.test";
    }
    window->MenuCommand(mcDeviceTest);
    EXPECT_EQ(view.Errors, c.Error ? std::vector<std::string>{c.Error} : std::vector<std::string>{});
    EXPECT_EQ(connected, c.Connection != 0 && !c.PageRefuses && c.Settings);
    EXPECT_FALSE(driver->Enabled());
    ExpectValues(before);
    EXPECT_TRUE(driver->BufSettings().empty());
    EXPECT_EQ(view.WaitDepth, 0);
    if (c.Settings) {
      EXPECT_EQ(view.Fields[mfSmtpServerUser], "mailer");
    }
  }
}

// A connection step that waits until "Отмена".
class TWaitingCheck : public TConnectionCheck {
 public:
  bool Run(std::string& Message) override {
    std::unique_lock lock(mutex_);
    aborted_.wait(lock, [this] { return Cancelled(); });
    Message = "прервано";
    return false;
  }

 protected:
  void Abort() override {
    std::lock_guard lock(mutex_);
    aborted_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable aborted_;
};

// While the connection step runs, the window takes no command and cannot be closed;
// "Отмена" ends the test without an error box, and the test's end is the usual one.
TEST_F(CommonSettingsTest, DeviceTestRunningTakesNoCommandAndEndsQuietlyOnCancel) {
  SetWorkingSmtpSettings();
  const auto before = Values();
  auto window = OpenWindow();
  view.Fields[mfSubject] = "набрано";
  window->SetConnectionTest([](TBaseDevice&) { return std::make_unique<TWaitingCheck>(); });
  bool checked = false;
  view.WhileChecking = [&](TConnectionCheck& check) {
    checked = true;
    EXPECT_TRUE(window->DeviceTestRunning());
    window->MenuCommand(mcReset);
    EXPECT_EQ(driver->GetSettingValueStr("Subject"), "набрано");  // the test's value, not the default
    EXPECT_FALSE(window->CloseQuery(false));
    EXPECT_FALSE(window->CloseQuery(true));
    check.Cancel();
  };
  window->MenuCommand(mcDeviceTest);
  EXPECT_TRUE(checked);
  EXPECT_FALSE(window->DeviceTestRunning());
  EXPECT_TRUE(view.Errors.empty());
  EXPECT_FALSE(driver->Enabled());
  ExpectValues(before);
  EXPECT_EQ(view.WaitDepth, 0);
  EXPECT_TRUE(window->CloseQuery(true));
}

TEST_F(CommonSettingsTest, CancelPutsBackEverySettingAsItWasWhenTheWindowOpened) {
  driver->SetSettingValue("Subject", Variant("Тема"));
  driver->SetSettingValue("DefaultTimeOut", Variant(std::int32_t{30}));
  const auto before = Values();
  auto window = OpenWindow();
  // A reset, then settings-list edits accepted with OK, then a device test: the list's
  // buffer is gone after the test, the window's own snapshot is not.
  window->MenuCommand(mcReset);
  EXPECT_EQ(view.Fields[mfSubject], "");
  view.OnSettingsList = [](TBaseDevice& device) {
    device.SetSettingValue("BodyText", Variant("из списка"));
    device.SetSettingValue("EventLogEnabled", Variant(true));
    return true;
  };
  window->MenuCommand(mcSettingsList);
  EXPECT_EQ(view.Fields[mfBodyText], "из списка");
  window->MenuCommand(mcDeviceTest);
  EXPECT_EQ(driver->GetSettingValueStr("BodyText"), "из списка");
  EXPECT_TRUE(window->CloseQuery(false));
  ExpectValues(before);
  EXPECT_TRUE(driver->BufSettings().empty());
}

TEST_F(CommonSettingsTest, SettingsListShowsWhatWasTypedAndCancelTakesOnlyItsOwnEditsBack) {
  auto window = OpenWindow();
  view.Fields[mfSubject] = "набрано";
  view.Fields[mfBodyText] = "текст";
  std::string shown;
  view.OnSettingsList = [&](TBaseDevice& device) {
    shown = device.GetSettingValueStr("Subject");
    device.SetSettingValue("Subject", Variant("из списка"));
    return false;
  };
  window->MenuCommand(mcSettingsList);
  EXPECT_EQ(shown, "набрано");
  EXPECT_EQ(driver->GetSettingValueStr("Subject"), "набрано");
  EXPECT_EQ(view.Fields[mfSubject], "набрано");
  EXPECT_TRUE(driver->BufSettings().empty());

  // Closed with OK, the pages show the list's values and keep what was typed elsewhere.
  view.OnSettingsList = [](TBaseDevice& device) {
    device.SetSettingValue("Subject", Variant("из списка"));
    return true;
  };
  window->MenuCommand(mcSettingsList);
  EXPECT_EQ(view.Fields[mfSubject], "из списка");
  EXPECT_EQ(view.Fields[mfBodyText], "текст");
}

TEST_F(CommonSettingsTest, ClosingWithOkDropsTheBufferTheSettingsListLeft) {
  {
    auto window = OpenWindow();
    view.OnSettingsList = [](TBaseDevice&) { return true; };
    window->MenuCommand(mcSettingsList);
    EXPECT_FALSE(driver->BufSettings().empty());
    EXPECT_TRUE(window->CloseQuery(true));
  }
  EXPECT_TRUE(driver->BufSettings().empty());
}

TEST_F(CommonSettingsTest, ContextHelpPopups) {
  auto window = OpenWindow();
  const auto packed = [](int x, int y) {
    return static_cast<std::uint32_t>(static_cast<std::uint16_t>(x)) |
           (static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16);
  };
  window->HelpRequest(13, packed(-5, 300));
  window->HelpRequest(8, 1001);
  view.Hint = "Пароль для отправки";
  view.HintPosition = {40, 50};
  window->HelpRequest(8, 10000);
  window->HelpRequest(8, 1003);
  window->HelpRequest(8, 1999);
  window->HelpRequest(8, 7);  // a topic, but there is no help file
  window->HelpRequest(3, 1001);  // other commands: nothing
  ASSERT_EQ(view.Popups.size(), 5u);
  EXPECT_EQ(view.Popups[0].Text, "Сохранить настройки и закрыть окно");
  EXPECT_EQ(view.Popups[0].Position.X, -5);
  EXPECT_EQ(view.Popups[0].Position.Y, 300);
  EXPECT_EQ(view.Popups[1].Text, "Пароль для отправки");
  EXPECT_EQ(view.Popups[1].Position.X, 40);
  EXPECT_EQ(view.Popups[2].Text, "Настройка параметров и подробная информация о драйвере");
  EXPECT_EQ(view.Popups[3].Text, "");
  EXPECT_EQ(view.Popups[4].TopicFile, "");
  EXPECT_TRUE(TfrmCommonSettings::GetHelpByID(1000).starts_with("Дополнительные функции: \r\n - Установка"));

  std::ofstream(scratch.Path() / "help.chm") << "chm";
  auto helped = OpenWindow();
  helped->HelpRequest(8, 7);
  EXPECT_EQ(view.Popups.back().TopicFile, (scratch.Path() / "help.chm").string() + "::/popups.txt");
  EXPECT_EQ(view.Popups.back().TopicID, 7u);
}

TEST_F(CommonSettingsTest, CurrentDebugLogOpensOnlyTodaysFile) {
  auto window = OpenWindow();
  driver->SetSettingValue("DebugLogEnabled", Variant(true));
  window->MenuOpening();
  window->MenuCommand(mcOpenCurrentDebugLog);
  EXPECT_EQ(view.Errors, std::vector<std::string>{"Отладочный лог не найден!"});
  EXPECT_TRUE(view.Opened.empty());

  const std::string file = DebugLogFileName(DefaultDebugLogDir(), platform::Now());
  std::ofstream(file) << "trace";
  window->MenuCommand(mcOpenCurrentDebugLog);
  EXPECT_EQ(view.Opened, std::vector<std::string>{file});

  view.PickedLogFile = "picked.log";
  window->MenuCommand(mcOpenDebugLogDirectory);
  EXPECT_EQ(view.Opened.back(), "picked.log");
}

TEST_F(CommonSettingsTest, HeaderAndInformationTab) {
  auto window = OpenWindow();
  EXPECT_EQ(window->ModelName(), "Корвента: клиент электронной почты");
  const auto rows = window->InfoRows();
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0].Caption, "Тип:");
  EXPECT_EQ(rows[1].Value, "Корвента: клиент электронной почты");
  EXPECT_EQ(rows[2].Value, driver->GetDeviceVersion());
  EXPECT_EQ(rows[5].Caption, "Контактная информация:");
  EXPECT_NE(window->VersionLine().find(driver->GetDeviceVersion()), std::string::npos);
}

}  // namespace
}  // namespace eqd::test
