// The settings window of the built DLL under Wine: the driver object is made through
// the DLL's class factory, "ShowSettingsDlg" runs on this (the host's) thread, and a
// second thread works the real window with window messages as a person would: typing,
// tabs, the "Дополнительно" menu, the device test, the settings list and its editors,
// OK, Cancel and the close box. Afterwards the result and the settings are checked
// through "GetSettings".
//
// Options: --shots=<folder> saves screenshots there (BMP); --smtp-port=<port> names the
// loopback SMTP server for the device test (user "mailer"); --press-cancel waits for a
// settings window of another process (a VBScript host) and presses its "Отмена".
#include <windows.h>
#include <objbase.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <thread>

#include "automation/variant_convert.h"
#include "com/server_identity.h"
#include "com/win32/com_handles.h"
#include "com/win32/variant_convert.h"
#include "settings_ui/common_settings.h"
#include "settings_ui/win32/settings_list_window.h"
#include "settings_ui/win32/settings_window_win32.h"
#include "ui_driver.h"
#include "windows/com_test_support.h"

namespace eqd::ui_test {
namespace {

using TWindow = settings_ui_win32::TSettingsWindowWin32;
using TList = settings_ui_win32::TSettingsListWindow;
using com::TComPtr;
using com::TVariantHolder;

std::wstring gShots;  // where screenshots go; empty: none
int gSmtpPort = 0;    // the loopback SMTP server (user mailer); 0: none

constexpr wchar_t kFrameClass[] = L"EqSettingsFrame";
constexpr wchar_t kMessageBoxClass[] = L"#32770";
constexpr wchar_t kMenuClass[] = L"#32768";

std::wstring DllBesideThisProgram() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L"\\/") + 1) + L"vlm_dodezoz41.dll";
}

// The steps of the second thread; a failed step ends the script, which then closes
// whatever it left open so that the host's call returns.
class TScript {
 public:
  std::vector<std::string> Failures;

  void Expect(bool condition, const std::string& what) {
    if (!condition) Failures.push_back(what);
  }
  [[noreturn]] void Abort(const std::string& what) { throw std::runtime_error(what); }
  HWND Need(HWND window, const std::string& what) {
    if (window == nullptr) Abort("not found: " + what);
    return window;
  }
  void Shot(const std::vector<HWND>& windows, const wchar_t* name) {
    if (gShots.empty()) return;
    Sleep(300);  // let the last paint reach the screen
    Expect(CaptureWindows(windows, gShots + L"\\" + name + L".bmp"), "screenshot " + Narrow(name));
  }
  // Runs the steps on a thread of their own and waits for it.
  void Run(const std::function<void(TScript&)>& steps, const std::function<void()>& host) {
    std::thread worker([&] {
      try {
        steps(*this);
      } catch (const std::exception& e) {
        Failures.push_back(e.what());
        CloseEverything();
      }
    });
    host();
    worker.join();
  }
  static void CloseEverything() {
    for (int i = 0; i < 20; ++i) {
      if (HWND menu = FindTopWindow(kMenuClass, L"")) PostKey(menu, VK_ESCAPE);
      if (HWND box = FindTopWindow(kMessageBoxClass, L"")) PostMessageW(box, WM_COMMAND, IDOK, 0);
      if (HWND list = FindTopWindow(kFrameClass, L"Список настроек")) PostMessageW(list, WM_CLOSE, 0, 0);
      HWND window = FindTopWindow(kFrameClass, L"Настройки");
      if (window == nullptr) return;
      PostMessageW(window, WM_CLOSE, 0, 0);
      Sleep(200);
    }
  }
};

// What the second thread sees of the settings window.
struct TSettingsUi {
  HWND Window;
  HWND Control(int id) const { return FindControl(Window, id); }
  HWND Field(TMainSettingsField f) const { return Control(TWindow::kIdFirstField + static_cast<int>(f)); }
  void Menu(TMenuCommand command) const {
    PostMessageW(Window, WM_COMMAND, static_cast<WPARAM>(TWindow::kMenuBase + command), 0);
  }
};

TSettingsUi WaitForSettings(TScript& s) {
  return {s.Need(WaitForTopWindow(kFrameClass, L"Настройки"), "the settings window")};
}

// Opens "Дополнительно", reads the menu, optionally takes a screenshot, closes it.
std::vector<std::wstring> ReadMenu(TScript& s, const TSettingsUi& ui, const wchar_t* shot = nullptr) {
  Click(ui.Control(TWindow::kIdAdditional));
  HWND menu = s.Need(WaitForTopWindow(kMenuClass, L""), "the popup menu");
  Sleep(200);
  const auto texts = MenuTexts(reinterpret_cast<HMENU>(SendBounded(menu, MN_GETHMENU, 0, 0)));
  if (shot != nullptr) s.Shot({ui.Window, menu}, shot);
  PostKey(menu, VK_ESCAPE);
  s.Expect(WaitFor([] { return FindTopWindow(kMenuClass, L"") == nullptr; }), "the menu closes on Escape");
  return texts;
}

// Waits for a message box with the caption, reads its text, screenshot, presses OK.
std::wstring AnswerBox(TScript& s, const std::wstring& caption, const wchar_t* shot = nullptr) {
  HWND box = s.Need(WaitForTopWindow(kMessageBoxClass, caption), "a box \"" + Narrow(caption) + "\"");
  std::wstring text;
  for (HWND child : FindControls(box, L"Static")) {
    const std::wstring t = TextOf(child);
    if (t.size() > text.size()) text = t;
  }
  if (shot != nullptr) s.Shot({box}, shot);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  s.Expect(WaitFor([&] { return !IsWindow(box); }), "the box closes");
  return text;
}

void SelectRow(HWND list, int row) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendBounded(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::wstring CellText(HWND list, int row, int column) {
  wchar_t text[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 512;
  SendBounded(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

int RowOf(HWND list, const std::wstring& name) {
  const int count = static_cast<int>(SendBounded(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i)
    if (CellText(list, i, 0) == name) return i;
  return -1;
}

class SettingsWindowTest : public ::testing::Test {
 protected:
  HMODULE module = nullptr;
  TComPtr<IDispatch> driver;

  void SetUp() override {
    module = LoadLibraryW(DllBesideThisProgram().c_str());
    ASSERT_NE(module, nullptr) << "vlm_dodezoz41.dll beside the test program";
    using TGetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto get = reinterpret_cast<TGetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    TComPtr<IClassFactory> factory;
    ASSERT_EQ(get(reinterpret_cast<const CLSID&>(com::kDriverClassID), IID_IClassFactory,
                  reinterpret_cast<void**>(factory.Put())),
              S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(driver.Put())), S_OK);
  }
  void TearDown() override {
    driver.Reset();
    if (module != nullptr) FreeLibrary(module);
  }

  // Calls a public method; the Boolean result, OutData converted.
  bool Call(const wchar_t* name, const Variant& inData, Variant& outData) {
    TVariantHolder in = com::ToVariant(inData);
    VARIANT out;
    VariantInit(&out);
    com::testing::TArgs args{in.Detach(), com::testing::Ref(out), com::testing::I4(30)};
    TVariantHolder result;
    com::testing::TExcep excep;
    UINT bad = 0;
    const HRESULT hr = driver->Invoke(com::testing::IdOf(driver.Get(), name), IID_NULL, LOCALE_USER_DEFAULT,
                                      DISPATCH_METHOD, args.Params(), result.Put(), &excep, &bad);
    outData = com::FromVariant(out);
    VariantClear(&out);
    EXPECT_EQ(hr, S_OK) << Narrow(name);
    return result->vt == VT_BOOL && result->boolVal != VARIANT_FALSE;
  }
  std::map<std::string, Variant> Settings() {
    Variant out;
    Call(L"GetSettings", Variant(), out);
    std::map<std::string, Variant> values;
    const SafeArray& table = *out.ArrayValue()->At({0}).ArrayValue();
    for (std::int64_t j = table.LowBound(1); j <= table.HighBound(1); ++j)
      values[VarToStr(table.At({0, j}))] = table.At({1, j});
    return values;
  }
  void SetSettings(const std::map<std::string, Variant>& values) {
    SafeArray table({ArrayBound{0, 7}, ArrayBound{0, static_cast<std::uint32_t>(values.size())}});
    std::int64_t j = 0;
    for (const auto& [id, value] : values) {
      table.At({0, j}) = Variant(id);
      table.At({1, j}) = value;
      ++j;
    }
    Variant out;
    ASSERT_TRUE(Call(L"SetSettings", Variant::Array({Variant(std::move(table))}), out));
  }
  // "ShowSettingsDlg": the Boolean result, and OutData.
  bool ShowSettingsDlg(Variant& out) { return Call(L"ShowSettingsDlg", Variant(), out); }
};

TEST_F(SettingsWindowTest, DeviceReportsItsSettingsWindow) {
  Variant out;
  ASSERT_TRUE(Call(L"GetDeviceInfo", Variant(), out));
  ASSERT_TRUE(out.IsArray());
  EXPECT_TRUE(VarToBool(out.ArrayValue()->At({8})));
}

TEST_F(SettingsWindowTest, OkSavesWhatWasTypedAndWhatTheSettingsListChanged) {
  TScript script;
  Variant out;
  bool accepted = false;
  script.Run(
      [](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        s.Expect(TextOf(ui.Control(TWindow::kIdModelName)) == L"Корвента: клиент электронной почты", "model name");
        s.Shot({ui.Window}, L"settings-smtp");

        SetText(ui.Field(mfSmtpServerName), L"127.0.0.1");
        HWND port = ui.Field(mfSmtpServerPort);
        SetText(port, L"");
        for (wchar_t c : std::wstring(L"2x5;25")) SendBounded(port, WM_CHAR, c, 1);
        s.Expect(TextOf(port) == L"2525", "the port takes digits only: " + Narrow(TextOf(port)));
        SetText(ui.Field(mfSmtpServerUser), L"Пользователь");
        SetText(ui.Field(mfSmtpServerPassword), L"s3cret-Пароль");
        SetText(ui.Field(mfUserEmail), L"robot@example.test");

        SelectTab(ui.Control(TWindow::kIdInnerTabs), 1);
        s.Expect(WaitFor([&] { return IsWindowVisible(ui.Field(mfBodyText)) != FALSE; }), "tab \"Общие\" shows");
        s.Expect(!IsWindowVisible(ui.Field(mfSmtpServerName)), "tab \"Настройки SMTP\" hides");
        SetText(ui.Field(mfSubject), L"Тема");
        SetText(ui.Field(mfBodyText), L"Строка 1\r\nСтрока 2");
        s.Shot({ui.Window}, L"settings-general");

        SelectTab(ui.Control(TWindow::kIdPages), 1);
        HWND model = ui.Control(TWindow::kIdFirstInfo + 1);
        s.Expect(WaitFor([&] { return IsWindowVisible(model) != FALSE; }), "tab \"Информация\" shows");
        s.Expect(TextOf(model) == L"Корвента: клиент электронной почты", "information: model");
        s.Expect(!IsWindowVisible(ui.Field(mfBodyText)), "the page hides under \"Информация\"");
        s.Shot({ui.Window}, L"settings-info");
        SelectTab(ui.Control(TWindow::kIdPages), 0);

        // F1 on a control asks for its popup; without help text popups nothing may break.
        PostKey(ui.Field(mfSmtpServerPassword), VK_F1);

        const auto menu = ReadMenu(s, ui, L"settings-menu");
        s.Expect(menu == std::vector<std::wstring>{L"Установить значения по-умолчанию", L"Выполнить тест устройства",
                                                   L"Показать полный список настроек"},
                 "menu without the debug logs and help");

        // The settings list: a Boolean through the drop-down, a number, Escape, focus loss.
        ui.Menu(mcSettingsList);
        HWND listWindow = s.Need(WaitForTopWindow(kFrameClass, L"Список настроек"), "the settings list");
        HWND list = s.Need(FindControl(listWindow, TList::kIdList), "the table");
        HWND combo = FindControl(listWindow, TList::kIdCombo);
        HWND edit = FindControl(listWindow, TList::kIdEdit);
        s.Expect(!IsWindowEnabled(ui.Window), "the settings window waits for the list");
        const int debugRow = RowOf(list, L"Отладочный лог");
        const int timeoutRow = RowOf(list, L"Таймаут по умолчанию");
        const int serverRow = RowOf(list, L"SMTP сервер");
        const int subjectRow = RowOf(list, L"Тема уведомления");
        s.Expect(debugRow >= 0 && timeoutRow >= 0 && serverRow >= 0 && subjectRow >= 0, "rows by name");
        SelectRow(list, debugRow);
        PostKey(list, VK_F2);
        s.Expect(WaitFor([&] { return IsWindowVisible(combo) != FALSE; }), "F2 opens the drop-down");
        s.Shot({listWindow}, L"settings-list-editor");
        SendBounded(combo, CB_SETCURSEL, 1, 0);
        PostKey(combo, VK_RETURN);
        s.Expect(WaitFor([&] { return CellText(list, debugRow, 1) == L"True"; }), "True stored");
        s.Expect(!IsWindowVisible(combo), "Enter closes the drop-down");

        SelectRow(list, timeoutRow);
        PostKey(list, VK_RETURN);
        s.Expect(WaitFor([&] { return IsWindowVisible(edit) != FALSE; }), "Enter opens the editor");
        SetText(edit, L"abc");
        PostKey(edit, VK_RETURN);
        s.Expect(WaitFor([&] { return CellText(list, timeoutRow, 1) == L"0"; }), "abc stored as 0");

        const std::wstring server = CellText(list, serverRow, 1);
        SelectRow(list, serverRow);
        PostKey(list, VK_F2);
        s.Expect(WaitFor([&] { return IsWindowVisible(edit) != FALSE; }), "F2 opens the editor");
        SetText(edit, L"выброшено");
        PostKey(edit, VK_ESCAPE);
        s.Expect(WaitFor([&] { return !IsWindowVisible(edit); }), "Escape closes the editor");
        s.Expect(CellText(list, serverRow, 1) == server, "Escape discards");

        SelectRow(list, subjectRow);
        PostKey(list, VK_F2);
        s.Expect(WaitFor([&] { return IsWindowVisible(edit) != FALSE; }), "editor on the subject");
        SetText(edit, L"Из списка");
        SelectRow(list, serverRow);
        s.Expect(WaitFor([&] { return CellText(list, subjectRow, 1) == L"Из списка"; }), "moving on stores");
        Click(FindControl(listWindow, TList::kIdOk));
        s.Expect(WaitFor([&] { return !IsWindow(listWindow); }), "the list closes with OK");
        s.Expect(WaitFor([&] { return TextOf(ui.Field(mfSubject)) == L"Из списка"; }), "pages read again");

        const auto menu2 = ReadMenu(s, ui);
        s.Expect(menu2.size() == 4 && menu2[3].rfind(L"Просмотр отладочных логов [", 0) == 0,
                 "the debug-log submenu follows the list's DebugLogEnabled");

        Click(ui.Control(TWindow::kIdOk));
      },
      [&] { accepted = ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
  EXPECT_TRUE(accepted);
  auto settings = Settings();
  EXPECT_EQ(VarToStr(settings["SmtpServerName"]), "127.0.0.1");
  EXPECT_TRUE(SameValue(settings["SmtpServerPort"], Variant("2525")));
  EXPECT_EQ(VarToStr(settings["SmtpServerUser"]), "Пользователь");
  EXPECT_EQ(VarToStr(settings["Subject"]), "Из списка");
  EXPECT_EQ(VarToStr(settings["BodyText"]), "Строка 1\r\nСтрока 2");
  EXPECT_TRUE(VarToBool(settings["DebugLogEnabled"]));
  EXPECT_EQ(VarToStr(settings["DefaultTimeOut"]), "0");
}

TEST_F(SettingsWindowTest, CancelPutsBackEverySettingAfterResetListAndDeviceTest) {
  SetSettings({{"SmtpServerName", Variant("mail.example.test")},
               {"SmtpServerUser", Variant("mailer")},
               {"EventLogEnabled", Variant(true)}});
  const auto before = Settings();
  TScript script;
  Variant out;
  bool accepted = true;
  script.Run(
      [](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        s.Expect(TextOf(ui.Field(mfSmtpServerName)) == L"mail.example.test", "the page shows the host's value");
        ui.Menu(mcReset);
        s.Expect(WaitFor([&] { return TextOf(ui.Field(mfSmtpServerName)) == L"smtp.yandex.ru"; }),
                 "reset shows the defaults");
        ui.Menu(mcSettingsList);
        HWND listWindow = s.Need(WaitForTopWindow(kFrameClass, L"Список настроек"), "the settings list");
        Click(FindControl(listWindow, TList::kIdDefault));
        Click(FindControl(listWindow, TList::kIdOk));
        s.Expect(WaitFor([&] { return !IsWindow(listWindow); }), "the list closes");
        // The device test with no user: the error box names what is missing.
        ui.Menu(mcDeviceTest);
        const std::wstring text = AnswerBox(s, L"Ошибка", gSmtpPort == 0 ? L"device-test-error" : nullptr);
        s.Expect(text == L"Не задан SMTP пользователь", "device test error: " + Narrow(text));
        s.Expect(TextOf(ui.Field(mfSmtpServerName)) == L"smtp.yandex.ru", "the pages keep their values");
        Click(ui.Control(TWindow::kIdCancel));
      },
      [&] { accepted = ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
  EXPECT_FALSE(accepted);
  ASSERT_TRUE(out.IsArray());
  EXPECT_EQ(VarToInt32(out.ArrayValue()->At({0})), 201);
  EXPECT_EQ(VarToStr(out.ArrayValue()->At({1})), "Операция отменена пользователем");
  const auto after = Settings();
  for (const auto& [id, value] : before) EXPECT_TRUE(SameValue(after.at(id), value)) << id;
}

TEST_F(SettingsWindowTest, CloseBoxCancelsAndTheHostWindowIsBlockedMeanwhile) {
  HWND host = CreateWindowExW(0, L"STATIC", L"Хост", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                              nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  SetForegroundWindow(host);
  const bool hostIsForeground = GetForegroundWindow() == host;
  TScript script;
  Variant out;
  bool accepted = true;
  script.Run(
      [&](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        if (hostIsForeground) s.Expect(!IsWindowEnabled(host), "the host's window is disabled meanwhile");
        SetText(ui.Field(mfSmtpServerName), L"не сохранится");
        PostMessageW(ui.Window, WM_SYSCOMMAND, SC_CLOSE, 0);
      },
      [&] { accepted = ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
  EXPECT_FALSE(accepted);
  EXPECT_EQ(VarToInt32(out.ArrayValue()->At({0})), 201);
  EXPECT_EQ(VarToStr(Settings()["SmtpServerName"]), "smtp.yandex.ru");
  EXPECT_TRUE(IsWindowEnabled(host));
  DestroyWindow(host);
}

TEST_F(SettingsWindowTest, DeviceTestLogsInWithThePagesValuesOrShowsTheServersAnswer) {
  if (gSmtpPort == 0) GTEST_SKIP() << "no loopback SMTP server (--smtp-port)";
  TScript script;
  Variant out;
  script.Run(
      [](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        SetText(ui.Field(mfSmtpServerName), L"127.0.0.1");
        SetText(ui.Field(mfSmtpServerPort), std::to_wstring(gSmtpPort));
        SetText(ui.Field(mfSmtpServerUser), L"mailer");
        SetText(ui.Field(mfSmtpServerPassword), L"s3cret-Пароль");
        SetText(ui.Field(mfUserEmail), L"robot@example.test");
        ui.Menu(mcDeviceTest);
        const std::wstring success = AnswerBox(s, L"Информация");
        // Under "Успешно!" what was proved: here TLS 1.2 through Schannel and the login.
        s.Expect(success.starts_with(L"Успешно!") && success.find(L"Соединение: TLS 1.2") != std::wstring::npos &&
                     success.ends_with(L"Авторизация: LOGIN"),
                 "login works: " + Narrow(success));
        SetText(ui.Field(mfSmtpServerPassword), L"wrong");
        ui.Menu(mcDeviceTest);
        const std::wstring refused = AnswerBox(s, L"Ошибка", L"device-test-error");
        s.Expect(refused.ends_with(L"Ответ сервера: 5.7.8 Authentication credentials invalid"),
                 "the server's answer: " + Narrow(refused));
        Click(ui.Control(TWindow::kIdCancel));
      },
      [&] { ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
  // The test's values were the device's for the test only.
  auto settings = Settings();
  EXPECT_EQ(VarToStr(settings["SmtpServerName"]), "smtp.yandex.ru");
  EXPECT_EQ(VarToStr(settings["SmtpServerPassword"]), "");
}

// For a host in another process: waits for its settings window and presses "Отмена".
int PressCancel() {
  HWND window = nullptr;
  WaitFor([&] { return (window = FindWindowW(kFrameClass, L"Настройки")) != nullptr && IsWindowVisible(window); },
          60s);
  if (window == nullptr) return 1;
  HWND cancel = FindControl(window, TWindow::kIdCancel);
  if (cancel == nullptr) return 1;
  Sleep(300);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(TWindow::kIdCancel, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
  return WaitFor([&] { return !IsWindow(window); }, 30s) ? 0 : 1;
}

}  // namespace
}  // namespace eqd::ui_test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--press-cancel") return eqd::ui_test::PressCancel();
    if (arg.rfind("--shots=", 0) == 0) eqd::ui_test::gShots = eqd::ui_test::Wide(arg.substr(8));
    if (arg.rfind("--smtp-port=", 0) == 0) eqd::ui_test::gSmtpPort = std::stoi(arg.substr(12));
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
