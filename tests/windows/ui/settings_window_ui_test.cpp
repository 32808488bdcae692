// The settings window of the built DLL under Wine: the driver object is made through
// the DLL's class factory, "ShowSettingsDlg" runs on this (the host's) thread, and a
// second thread works the real window with window messages as a person would: typing,
// tabs, the "Дополнительно" menu, the device test, the settings list and its editors,
// OK, Cancel and the close box. Afterwards the result and the settings are checked
// through "GetSettings".
//
// Options: --shots=<folder> saves screenshots there (BMP); --smtp-port=<port> names the
// loopback SMTP server for the device test (user "mailer"); --idp-url=<https://...> names
// the loopback identity provider "Войти…" signs in at; --press-cancel waits for a
// settings window of another process (a VBScript host) and presses its "Отмена".
#include <winsock2.h>
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
#include "platform/https_client.h"
#include "settings_ui/common_settings.h"
#include "settings_ui/win32/resources.h"
#include "settings_ui/win32/settings_list_window.h"
#include "settings_ui/win32/settings_window_win32.h"
#include "ui_driver.h"
#include "windows/com_test_support.h"

namespace eqd::ui_test {
namespace {

using TWindow = settings_ui_win32::TSettingsWindowWin32;
constexpr int kIdProgressCancel = EQ_IDC_PROGRESS_CANCEL;
using TList = settings_ui_win32::TSettingsListWindow;
using com::TComPtr;
using com::TVariantHolder;

std::wstring gShots;  // where screenshots go; empty: none
int gSmtpPort = 0;    // the loopback SMTP server (user mailer); 0: none
std::string gIdpUrl;  // the loopback identity provider (client app-id), its CA trusted; empty: none

constexpr wchar_t kFrameClass[] = L"#32770";  // the windows are dialogs
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
    // Every window painted now (the windows' thread answers before this goes on), then a
    // moment for the last paint to reach the screen.
    for (HWND w : windows)
      RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(500);
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
  HWND Focus() const { return FocusOf(Window); }
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
                                                   L"Показать полный список настроек", L"-", L"Справка"},
                 "menu without the debug logs, with help (help.chm lies beside the DLL)");

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
        s.Expect(menu2.size() == 6 && menu2[3].rfind(L"Просмотр отладочных логов [", 0) == 0,
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
        const std::wstring success = AnswerBox(s, L"Информация", L"device-test-success");
        // Under "Успешно!" what was proved: here TLS 1.2 through Schannel and the login.
        s.Expect(success.starts_with(L"Успешно!") && success.find(L"Соединение: TLS 1.2") != std::wstring::npos &&
                     success.ends_with(L"Авторизация: LOGIN"),
                 "login works: " + Narrow(success));
        SetText(ui.Field(mfSmtpServerPassword), L"wrong");
        ui.Menu(mcDeviceTest);
        const std::wstring refused = AnswerBox(s, L"Ошибка", L"device-test-error");
        // What failed in the window's words, then the driver's explanation with the server's answer.
        s.Expect(refused.starts_with(L"Проверка подключения к SMTP-серверу не пройдена.\r\n\r\n") &&
                     refused.ends_with(L"Ответ сервера: 5.7.8 Authentication credentials invalid"),
                 "what failed, then the server's answer: " + Narrow(refused));
        Click(ui.Control(TWindow::kIdCancel));
      },
      [&] { ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
  // The test's values were the device's for the test only.
  auto settings = Settings();
  EXPECT_EQ(VarToStr(settings["SmtpServerName"]), "smtp.yandex.ru");
  EXPECT_EQ(VarToStr(settings["SmtpServerPassword"]), "");
}

// The keyboard alone, as a person meets it: the tab strips before their pages in the Tab
// order, access keys on the labels and buttons, Ctrl+Tab through every tab, Tab out of
// the body's memo (Ctrl+Tab types a tab there), Enter on a focused button, and the focus
// back where it was after an error box and after the settings list.
// The tab "Безопасность": the stored values shown, a mail service filling the server, the
// port, the protection and the login, and what was chosen saved by OK.
TEST_F(SettingsWindowTest, SecurityTabFillsFromAMailServiceAndSaves) {
  TScript script;
  Variant out;
  bool accepted = false;
  script.Run(
      [](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        const auto comboText = [](HWND combo) {
          const LRESULT index = SendBounded(combo, CB_GETCURSEL, 0, 0);
          wchar_t text[256] = {};
          if (index >= 0 && SendBounded(combo, CB_GETLBTEXTLEN, index, 0) < 255)
            SendBounded(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
          return std::wstring(text);
        };
        HWND security = ui.Control(EQ_IDC_SEC_SECURITY);
        HWND auth = ui.Control(EQ_IDC_SEC_AUTH);
        HWND verify = ui.Control(EQ_IDC_SEC_VERIFY);
        HWND service = ui.Control(EQ_IDC_SEC_SERVICE);
        SelectTab(ui.Control(TWindow::kIdInnerTabs), 2);
        s.Expect(WaitFor([&] { return IsWindowVisible(security) != FALSE; }), "tab \"Безопасность\" shows");
        s.Expect(!IsWindowVisible(ui.Field(mfSmtpServerName)) && !IsWindowVisible(ui.Field(mfSubject)),
                 "the other tabs hide");
        s.Expect(comboText(security) == L"Авто" && comboText(auth) == L"Авто", "the defaults: " +
                 Narrow(comboText(security)) + ", " + Narrow(comboText(auth)));
        s.Expect(SendBounded(verify, BM_GETCHECK, 0, 0) == BST_UNCHECKED, "no certificate check by default");
        s.Expect(SendBounded(security, CB_GETCOUNT, 0, 0) == 4 && SendBounded(auth, CB_GETCOUNT, 0, 0) == 5 &&
                     SendBounded(service, CB_GETCOUNT, 0, 0) == 6,
                 "four modes, five ways of logging in, five services after \"(вручную)\"");

        // Gmail, chosen as a click on the list does it.
        const LRESULT gmail = SendBounded(service, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(L"Gmail"));
        SendBounded(service, CB_SETCURSEL, static_cast<WPARAM>(gmail), 0);
        SendBounded(GetParent(service), WM_COMMAND, MAKEWPARAM(EQ_IDC_SEC_SERVICE, CBN_SELCHANGE),
                    reinterpret_cast<LPARAM>(service));
        s.Expect(TextOf(ui.Field(mfSmtpServerName)) == L"smtp.gmail.com" && TextOf(ui.Field(mfSmtpServerPort)) == L"587",
                 "server and port from the service: " + Narrow(TextOf(ui.Field(mfSmtpServerName))));
        s.Expect(comboText(security) == L"STARTTLS" && comboText(auth) == L"LOGIN",
                 "protection and login from the service");
        s.Expect(TextOf(ui.Control(EQ_IDC_SEC_NOTE)).rfind(L"Gmail: нужен пароль приложения", 0) == 0,
                 "the service's note: " + Narrow(TextOf(ui.Control(EQ_IDC_SEC_NOTE))));
        SendBounded(verify, BM_CLICK, 0, 0);  // as a click on the box itself
        s.Expect(WaitFor([&] { return SendBounded(verify, BM_GETCHECK, 0, 0) == BST_CHECKED; }), "the check box ticks");
        SetText(ui.Control(EQ_IDC_SEC_PIN), L"sha256//ihssPU5fYHGCk6S1xtfo+QESIzRFVmd4iZqrvM3e7/A=");
        s.Shot({ui.Window}, L"settings-security");
        SendBounded(security, CB_SETCURSEL, 2, 0);  // "SSL/TLS": the user has the last word
        Click(ui.Control(TWindow::kIdOk));
      },
      [&] { accepted = ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
  EXPECT_TRUE(accepted);
  auto settings = Settings();
  EXPECT_EQ(VarToStr(settings["SmtpServerName"]), "smtp.gmail.com");
  EXPECT_EQ(VarToStr(settings["SmtpServerPort"]), "587");
  EXPECT_EQ(VarToStr(settings["SmtpSecurity"]), "SSL/TLS");
  EXPECT_EQ(VarToStr(settings["SmtpAuthMethod"]), "LOGIN");
  EXPECT_TRUE(VarToBool(settings["SmtpVerifyCertificate"]));
  EXPECT_EQ(VarToStr(settings["SmtpCertificatePin"]), "sha256//ihssPU5fYHGCk6S1xtfo+QESIzRFVmd4iZqrvM3e7/A=");
}

// With the login "OAuth 2.0" the tab shows the flow's drop-down and the fields of the
// chosen flow; for a refresh token "Войти…" signs in with a code: the dialog shows the
// provider's address and code, the person (the test) approves the code at the provider,
// and the refresh token lands in its field, saved by OK.
TEST_F(SettingsWindowTest, OAuthRowsFollowTheFlowAndSignInFillsTheRefreshToken) {
  if (gIdpUrl.empty()) GTEST_SKIP() << "no loopback identity provider (--idp-url)";
  SetSettings({{"SmtpServerName", Variant("127.0.0.1")},
               {"UserEmail", Variant("robot@example.test")},
               {"SmtpAuthMethod", Variant("OAuth 2.0")},
               {"OAuthFlow", Variant("ms365-app")},
               {"OAuthClientId", Variant("app-id")},
               {"OAuthTokenUrl", Variant(gIdpUrl + "/token")},
               {"OAuthDeviceUrl", Variant(gIdpUrl + "/devicecode")}});
  TScript script;
  Variant out;
  bool accepted = false;
  script.Run(
      [](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        HWND flow = ui.Control(EQ_IDC_SEC_FLOW);
        HWND tenant = ui.Control(EQ_IDC_SEC_OAUTH + oaTenant);
        HWND refresh = ui.Control(EQ_IDC_SEC_OAUTH + oaRefreshToken);
        HWND signIn = ui.Control(EQ_IDC_SEC_SIGN_IN);
        SelectTab(ui.Control(TWindow::kIdInnerTabs), 2);
        s.Expect(WaitFor([&] { return IsWindowVisible(flow) != FALSE; }), "the flow's drop-down shows");
        s.Expect(TextOf(flow) == L"Приложение Microsoft 365", "the stored flow by its caption: " + Narrow(TextOf(flow)));
        s.Expect(IsWindowVisible(tenant) && !IsWindowVisible(refresh) && !IsWindowVisible(signIn),
                 "the application's fields, no refresh token");
        s.Shot({ui.Window}, L"settings-security-oauth-app");
        // The refresh token, chosen as a click on the list does it.
        SendBounded(flow, CB_SETCURSEL, 3, 0);
        SendBounded(GetParent(flow), WM_COMMAND, MAKEWPARAM(EQ_IDC_SEC_FLOW, CBN_SELCHANGE), reinterpret_cast<LPARAM>(flow));
        s.Expect(WaitFor([&] { return IsWindowVisible(signIn) != FALSE; }), "\"Войти…\" shows with the refresh token");
        s.Expect(TextOf(signIn) == L"Войт&и…", "the button's text and access key: " + Narrow(TextOf(signIn)));
        s.Expect((GetWindowLongW(refresh, GWL_STYLE) & ES_PASSWORD) != 0, "the refresh token is masked");
        // Away and back, so the whole tab is drawn anew for the screenshot.
        SelectTab(ui.Control(TWindow::kIdInnerTabs), 0);
        SelectTab(ui.Control(TWindow::kIdInnerTabs), 2);
        s.Shot({ui.Window}, L"settings-security-oauth");

        Click(signIn);
        HWND dialog = s.Need(WaitForTopWindow(kFrameClass, L"Вход OAuth 2.0"), "the sign-in dialog");
        HWND code = FindControl(dialog, EQ_IDC_SIGN_IN_CODE);
        s.Expect(WaitFor([&] { return IsWindowVisible(code) && !TextOf(code).empty(); }), "the code shows");
        s.Expect(TextOf(FindControl(dialog, EQ_IDC_SIGN_IN_ADDRESS)) == L"https://127.0.0.1/device",
                 "the provider's address: " + Narrow(TextOf(FindControl(dialog, EQ_IDC_SIGN_IN_ADDRESS))));
        s.Expect(IsWindowEnabled(FindControl(dialog, EQ_IDC_SIGN_IN_BROWSER)) != FALSE, "\"Открыть браузер\" is on");
        s.Expect(!IsWindowEnabled(ui.Window), "the window takes no input while the sign-in runs");
        DWORD_PTR answer = 0;
        s.Expect(SendMessageTimeoutW(ui.Window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer) != 0,
                 "the window answers while the sign-in waits");
        s.Shot({ui.Window, dialog}, L"oauth-sign-in");
        platform::THttpsRequestStruct approve;
        approve.Url = gIdpUrl + "/control/approve?user_code=" + Narrow(TextOf(code));
        approve.Post = true;
        approve.ContentType = "application/x-www-form-urlencoded";
        approve.Deadline = std::chrono::steady_clock::now() + 20s;
        s.Expect(platform::HttpsSend(approve).Status == 200, "the code approved at the provider");
        s.Expect(WaitFor([&] { return !IsWindow(dialog); }, 30s), "the dialog closes once the code is approved");
        s.Expect(WaitFor([&] { return !TextOf(refresh).empty(); }), "the refresh token fills its field");
        s.Expect(FindTopWindow(kMessageBoxClass, L"Ошибка") == nullptr, "no error box");
        Click(ui.Control(TWindow::kIdOk));
      },
      [&] { accepted = ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
  EXPECT_TRUE(accepted);
  auto settings = Settings();
  EXPECT_EQ(VarToStr(settings["OAuthFlow"]), "refresh-token");
  EXPECT_EQ(VarToStr(settings["OAuthRefreshToken"]).rfind("rt-", 0), 0u) << VarToStr(settings["OAuthRefreshToken"]);
}

// "Отмена" ends a sign-in nobody approves at once, with no error and no token.
TEST_F(SettingsWindowTest, SignInCancelEndsItWithoutAToken) {
  if (gIdpUrl.empty()) GTEST_SKIP() << "no loopback identity provider (--idp-url)";
  SetSettings({{"SmtpServerName", Variant("127.0.0.1")},
               {"UserEmail", Variant("robot@example.test")},
               {"SmtpAuthMethod", Variant("OAuth 2.0")},
               {"OAuthFlow", Variant("refresh-token")},
               {"OAuthClientId", Variant("app-id")},
               {"OAuthTokenUrl", Variant(gIdpUrl + "/token")},
               {"OAuthDeviceUrl", Variant(gIdpUrl + "/devicecode")}});
  TScript script;
  Variant out;
  script.Run(
      [](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        SelectTab(ui.Control(TWindow::kIdInnerTabs), 2);
        HWND signIn = ui.Control(EQ_IDC_SEC_SIGN_IN);
        s.Expect(WaitFor([&] { return IsWindowVisible(signIn) != FALSE; }), "\"Войти…\" shows");
        Click(signIn);
        HWND dialog = s.Need(WaitForTopWindow(kFrameClass, L"Вход OAuth 2.0"), "the sign-in dialog");
        HWND code = FindControl(dialog, EQ_IDC_SIGN_IN_CODE);
        s.Expect(WaitFor([&] { return IsWindowVisible(code) != FALSE; }), "the code shows");
        Click(FindControl(dialog, EQ_IDC_SIGN_IN_CANCEL));
        s.Expect(WaitFor([&] { return !IsWindow(dialog); }, 5s), "\"Отмена\" ends the sign-in at once");
        Sleep(300);
        s.Expect(FindTopWindow(kMessageBoxClass, L"Ошибка") == nullptr, "no error box after \"Отмена\"");
        s.Expect(TextOf(ui.Control(EQ_IDC_SEC_OAUTH + oaRefreshToken)).empty(), "no refresh token");
        Click(ui.Control(TWindow::kIdCancel));
      },
      [&] { ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
}

TEST_F(SettingsWindowTest, KeyboardAloneReachesEveryControl) {
  TScript script;
  Variant out;
  bool accepted = true;
  script.Run(
      [](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        HWND pages = ui.Control(TWindow::kIdPages);
        HWND inner = ui.Control(TWindow::kIdInnerTabs);
        HWND server = ui.Field(mfSmtpServerName);
        s.Expect(WaitFor([&] { return ui.Focus() == server; }), "the server field has the focus at first");
        Type(ui.Window, {VK_SHIFT, VK_TAB});
        s.Expect(WaitFor([&] { return ui.Focus() == inner; }, 5s), "Shift+Tab from the first field: the inner tab strip");
        Type(ui.Window, {VK_SHIFT, VK_TAB});
        s.Expect(WaitFor([&] { return ui.Focus() == pages; }, 5s), "Shift+Tab again: the window's tab strip");
        Type(ui.Window, {VK_TAB});
        Type(ui.Window, {VK_TAB});
        s.Expect(WaitFor([&] { return ui.Focus() == server; }, 5s), "Tab twice: back on the server field");

        // Access keys: Alt+E from the keyboard, and a Cyrillic letter as any layout sends it.
        Type(ui.Window, {VK_MENU, 'E'});
        s.Expect(WaitFor([&] { return ui.Focus() == ui.Field(mfUserEmail); }, 5s), "Alt+E: the e-mail field");
        for (const auto& [letter, field] : {std::pair{L'П', mfSmtpServerPort}, std::pair{L'з', mfSmtpServerUser},
                                            std::pair{L'а', mfSmtpServerPassword}, std::pair{L'в', mfSmtpServerName}}) {
          PostAccessKey(ui.Focus(), letter);
          s.Expect(WaitFor([&] { return ui.Focus() == ui.Field(field); }, 5s), "Alt+" + Narrow(std::wstring(1, letter)) + " reaches its field");
        }

        // The focus comes back to the password field after an error box.
        PostAccessKey(ui.Focus(), L'а');
        ui.Menu(mcDeviceTest);
        const std::wstring error = AnswerBox(s, L"Ошибка");
        s.Expect(error == L"Не задан SMTP пользователь", "device test error: " + Narrow(error));
        s.Expect(WaitFor([&] { return ui.Focus() == ui.Field(mfSmtpServerPassword); }),
                 "the focus is back on the password field after the box");

        // Ctrl+Tab: "Настройки SMTP" → "Общие" → "Безопасность" → "Информация" → "Настройки
        // SMTP"; Shift back.
        HWND security = ui.Control(EQ_IDC_SEC_SECURITY);
        Type(ui.Window, {VK_CONTROL, VK_TAB});
        s.Expect(WaitFor([&] { return TabCtrl_GetCurSel(inner) == 1 && IsWindowVisible(ui.Field(mfSubject)); }, 5s),
                 "Ctrl+Tab: \"Общие\"");
        Type(ui.Window, {VK_CONTROL, VK_TAB});
        s.Expect(WaitFor([&] { return TabCtrl_GetCurSel(inner) == 2 && IsWindowVisible(security); }, 5s),
                 "Ctrl+Tab: \"Безопасность\"");
        Type(ui.Window, {VK_CONTROL, VK_TAB});
        s.Expect(WaitFor([&] { return TabCtrl_GetCurSel(pages) == 1 && !IsWindowVisible(security); }, 5s),
                 "Ctrl+Tab: \"Информация\"");
        Type(ui.Window, {VK_CONTROL, VK_TAB});
        s.Expect(WaitFor([&] { return TabCtrl_GetCurSel(pages) == 0 && TabCtrl_GetCurSel(inner) == 0; }, 5s),
                 "Ctrl+Tab: round to the first tab");
        Type(ui.Window, {VK_CONTROL, VK_SHIFT, VK_TAB});
        s.Expect(WaitFor([&] { return TabCtrl_GetCurSel(pages) == 1; }, 5s), "Ctrl+Shift+Tab: back to \"Информация\"");
        Type(ui.Window, {VK_CONTROL, VK_SHIFT, VK_TAB});
        s.Expect(WaitFor([&] { return TabCtrl_GetCurSel(pages) == 0 && TabCtrl_GetCurSel(inner) == 2; }, 5s),
                 "Ctrl+Shift+Tab: back to \"Безопасность\"");
        // The tab's access keys.
        for (const auto& [letter, id] : {std::pair{L'щ', EQ_IDC_SEC_SECURITY}, std::pair{L'ц', EQ_IDC_SEC_AUTH},
                                         std::pair{L'ч', EQ_IDC_SEC_PIN}, std::pair{L'л', EQ_IDC_SEC_SERVICE}}) {
          PostAccessKey(ui.Focus(), letter);
          s.Expect(WaitFor([&] { return ui.Focus() == ui.Control(id); }, 5s),
                   "Alt+" + Narrow(std::wstring(1, letter)) + " reaches its control");
        }
        Type(ui.Window, {VK_CONTROL, VK_SHIFT, VK_TAB});
        s.Expect(WaitFor([&] { return TabCtrl_GetCurSel(pages) == 0 && TabCtrl_GetCurSel(inner) == 1; }, 5s),
                 "Ctrl+Shift+Tab: back to \"Общие\"");

        // The memo: Tab leaves it forward and back, Ctrl+Tab types a tab.
        HWND memo = ui.Field(mfBodyText);
        PostAccessKey(ui.Focus(), L'к');
        s.Expect(WaitFor([&] { return ui.Focus() == memo; }, 5s), "Alt+к: the body");
        Type(ui.Window, {VK_TAB});
        s.Expect(WaitFor([&] { return ui.Focus() == ui.Control(TWindow::kIdAdditional); }, 5s), "Tab leaves the body for \"Дополнительно\"");
        Type(ui.Window, {VK_SHIFT, VK_TAB});
        s.Expect(WaitFor([&] { return ui.Focus() == memo; }, 5s), "Shift+Tab comes back to the body");
        Type(ui.Window, {VK_SHIFT, VK_TAB});
        s.Expect(WaitFor([&] { return ui.Focus() == ui.Field(mfSubject); }, 5s), "Shift+Tab leaves the body for the subject");
        PostAccessKey(ui.Focus(), L'к');
        Type(ui.Window, {VK_CONTROL, VK_TAB});
        s.Expect(WaitFor([&] { return ui.Focus() == memo && TextOf(memo).find(L'\t') != std::wstring::npos; }, 5s), "Ctrl+Tab types a tab in the body");

        // Enter on the focused "Дополнительно" opens the menu; the settings list gives the
        // focus back to the button.
        Type(ui.Window, {VK_TAB});
        Type(ui.Window, {VK_RETURN});
        HWND menu = s.Need(WaitForTopWindow(kMenuClass, L""), "the menu opened by Enter");
        PostKey(menu, VK_ESCAPE);
        s.Expect(WaitFor([] { return FindTopWindow(kMenuClass, L"") == nullptr; }), "the menu closes");
        ui.Menu(mcSettingsList);
        HWND listWindow = s.Need(WaitForTopWindow(kFrameClass, L"Список настроек"), "the settings list");
        Click(FindControl(listWindow, TList::kIdCancel));
        s.Expect(WaitFor([&] { return !IsWindow(listWindow); }), "the list closes");
        s.Expect(WaitFor([&] { return ui.Focus() == ui.Control(TWindow::kIdAdditional); }),
                 "the focus is back on \"Дополнительно\" after the list");

        // Alt+м presses "Отмена".
        PostAccessKey(ui.Focus(), L'м');
      },
      [&] { accepted = ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
  EXPECT_FALSE(accepted);
}

// The list editor opens with the first row selected; once no row is selected (a click on
// empty space), Enter, F2, a double-click and both context-menu items do nothing.
TEST_F(SettingsWindowTest, ListEditorIgnoresActionsWithoutASelection) {
  SetSettings({{"SmtpServerName", Variant("mail.example.test")}});
  TScript script;
  Variant out;
  script.Run(
      [](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        ui.Menu(mcSettingsList);
        HWND listWindow = s.Need(WaitForTopWindow(kFrameClass, L"Список настроек"), "the settings list");
        HWND list = s.Need(FindControl(listWindow, TList::kIdList), "the table");
        HWND edit = FindControl(listWindow, TList::kIdEdit);
        HWND combo = FindControl(listWindow, TList::kIdCombo);
        s.Expect(WaitFor([&] { return SendBounded(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == 0; }),
                 "the first row is selected");
        s.Expect(TextOf(FindControl(listWindow, TList::kIdStatus)).rfind(L"Таймаут по умолчанию", 0) == 0,
                 "the status shows the first row's description");
        const int serverRow = RowOf(list, L"SMTP сервер");
        SelectRow(list, serverRow);
        // A click below the last row: nothing selected any more. The list is made tall
        // enough for every row and some empty space under them, however many settings
        // there are. The click goes to the list at a point of its client area: a click at
        // a screen point lands wherever the window is by the time the system takes it,
        // which under load is not always where it was a moment before.
        RECT client{};
        GetClientRect(list, &client);
        const int rows = static_cast<int>(SendBounded(list, LVM_GETITEMCOUNT, 0, 0));
        const auto lastRow = [&] {
          RECT last{};
          last.left = LVIR_BOUNDS;
          SendBounded(list, LVM_GETITEMRECT, static_cast<WPARAM>(rows - 1), reinterpret_cast<LPARAM>(&last));
          return last;
        };
        RECT last = lastRow();
        if (last.bottom + 40 > client.bottom) {
          RECT frame{};
          GetWindowRect(listWindow, &frame);
          SetWindowPos(listWindow, nullptr, frame.left, 0, frame.right - frame.left,
                       frame.bottom - frame.top + last.bottom + 40 - client.bottom, SWP_NOZORDER);
          SendBounded(list, LVM_ENSUREVISIBLE, 0, FALSE);
          GetClientRect(list, &client);
          last = lastRow();
        }
        s.Expect(last.bottom + 10 < client.bottom, "the list has empty space under its last row");
        const POINT empty{client.right / 2, (last.bottom + client.bottom) / 2};
        SendBounded(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(empty.x, empty.y));
        SendBounded(list, WM_LBUTTONUP, 0, MAKELPARAM(empty.x, empty.y));
        s.Expect(WaitFor([&] { return SendBounded(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == -1; }),
                 "the click on empty space leaves no row selected");
        Type(list, {VK_RETURN});
        Type(list, {VK_F2});
        PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(empty.x, empty.y));
        PostMessageW(listWindow, WM_COMMAND, TList::kIdMenuEdit, 0);
        PostMessageW(listWindow, WM_COMMAND, TList::kIdMenuDefault, 0);
        Sleep(500);
        s.Expect(!IsWindowVisible(edit) && !IsWindowVisible(combo), "no editor opens without a selected row");
        s.Expect(CellText(list, serverRow, 1) == L"mail.example.test", "\"По-умолчанию\" leaves the row alone");
        s.Shot({listWindow}, L"settings-list");
        Click(FindControl(listWindow, TList::kIdOk));
        s.Expect(WaitFor([&] { return !IsWindow(listWindow); }), "the list closes");
        Click(ui.Control(TWindow::kIdOk));
      },
      [&] { ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
  EXPECT_EQ(VarToStr(Settings()["SmtpServerName"]), "mail.example.test");
}

// A server that accepts the connection and never answers: the device test runs off the
// host's thread, so the window keeps answering messages; it takes no input meanwhile;
// "Отмена" ends the test at once and closes the connection, and shows no error box.
TEST_F(SettingsWindowTest, DeviceTestKeepsTheWindowAnsweringAndCancelEndsIt) {
  WSADATA wsa{};
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  int length = sizeof(address);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const int port = ntohs(address.sin_port);
  // Waits up to the limit for the socket to be readable.
  const auto readable = [](SOCKET s, int seconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval limit{seconds, 0};
    return select(0, &set, nullptr, nullptr, &limit) == 1;
  };
  TScript script;
  Variant out;
  script.Run(
      [&](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        SetText(ui.Field(mfSmtpServerName), L"127.0.0.1");
        SetText(ui.Field(mfSmtpServerPort), std::to_wstring(port));
        SetText(ui.Field(mfSmtpServerUser), L"mailer");
        SetText(ui.Field(mfSmtpServerPassword), L"secret");
        SetText(ui.Field(mfUserEmail), L"robot@example.test");
        ui.Menu(mcDeviceTest);
        HWND progress = s.Need(WaitForTopWindow(kFrameClass, L"Тест устройства"), "the device test's progress");
        s.Expect(readable(listener, 20), "the test connects");
        const SOCKET connection = accept(listener, nullptr, nullptr);
        DWORD_PTR answer = 0;
        s.Expect(SendMessageTimeoutW(ui.Window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer) != 0,
                 "the window answers while the test waits for the server");
        s.Expect(!IsWindowEnabled(ui.Window), "the window takes no input while the test runs");
        s.Shot({ui.Window, progress}, L"device-test-running");
        Click(FindControl(progress, kIdProgressCancel));
        s.Expect(WaitFor([&] { return !IsWindow(progress); }, 10s), "\"Отмена\" ends the test at once");
        char byte = 0;
        s.Expect(connection != INVALID_SOCKET && readable(connection, 10) && recv(connection, &byte, 1, 0) <= 0,
                 "the test's connection is closed");
        closesocket(connection);
        s.Expect(WaitFor([&] { return IsWindowEnabled(ui.Window) != FALSE; }), "the window takes input again");
        Sleep(300);
        s.Expect(FindTopWindow(kMessageBoxClass, L"Ошибка") == nullptr, "no error box after \"Отмена\"");
        Click(ui.Control(TWindow::kIdCancel));
      },
      [&] { ShowSettingsDlg(out); });
  closesocket(listener);
  WSACleanup();
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
  EXPECT_EQ(VarToStr(Settings()["SmtpServerName"]), "smtp.yandex.ru");
}

// Every enabled window of the host's thread is blocked while the window is open and
// enabled again afterwards; a window the host had disabled itself stays disabled. The
// window is owned by the host's foreground window, so it stays in front of it.
TEST_F(SettingsWindowTest, EveryHostWindowIsBlockedAndExactlyThoseComeBack) {
  const auto make = [](const wchar_t* caption, int x) {
    return CreateWindowExW(0, L"STATIC", caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, 10, 200, 100, nullptr,
                           nullptr, nullptr, nullptr);
  };
  HWND main = make(L"Хост", 10);
  HWND second = make(L"Хост 2", 220);
  HWND disabled = make(L"Хост 3", 430);
  ASSERT_TRUE(main != nullptr && second != nullptr && disabled != nullptr);
  EnableWindow(disabled, FALSE);
  SetForegroundWindow(main);
  const bool mainIsForeground = GetForegroundWindow() == main;
  TScript script;
  Variant out;
  script.Run(
      [&](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        s.Expect(!IsWindowEnabled(main) && !IsWindowEnabled(second), "every host window is blocked");
        if (mainIsForeground) s.Expect(GetWindow(ui.Window, GW_OWNER) == main, "owned by the host's foreground window");
        Click(ui.Control(TWindow::kIdCancel));
      },
      [&] { ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_TRUE(IsWindowEnabled(second));
  EXPECT_FALSE(IsWindowEnabled(disabled));
  for (HWND w : {main, second, disabled}) DestroyWindow(w);
}

// A per-monitor aware host moving the window to a monitor of another DPI: the window is
// laid out again at that DPI, larger for a larger one, and back.
TEST_F(SettingsWindowTest, DpiChangeLaysTheWindowOutAgain) {
  TScript script;
  Variant out;
  script.Run(
      [](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        const auto height = [](HWND w) {
          RECT r{};
          GetWindowRect(w, &r);
          return r.bottom - r.top;
        };
        const auto width = [](HWND w) {
          RECT r{};
          GetWindowRect(w, &r);
          return r.right - r.left;
        };
        const int dpi = GetDeviceCaps(GetDC(nullptr), LOGPIXELSY);
        const int before = width(ui.Window);
        const int field = height(ui.Field(mfSmtpServerName));
        RECT suggested{};
        GetWindowRect(ui.Window, &suggested);
        const int bigger = dpi * 3 / 2;
        SendBounded(ui.Window, WM_DPICHANGED, MAKEWPARAM(bigger, bigger), reinterpret_cast<LPARAM>(&suggested));
        s.Expect(width(ui.Window) > before * 5 / 4, "the window grows with the DPI");
        s.Expect(height(ui.Field(mfSmtpServerName)) > field * 5 / 4, "so do the fields");
        SendBounded(ui.Window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        s.Expect(std::abs(width(ui.Window) - before) <= 4, "and back");
        Click(ui.Control(TWindow::kIdCancel));
      },
      [&] { ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
}

// help.chm beside the DLL: "Справка" opens it in HTML Help.
TEST_F(SettingsWindowTest, HelpOpensFromTheMenu) {
  TScript script;
  Variant out;
  script.Run(
      [](TScript& s) {
        const TSettingsUi ui = WaitForSettings(s);
        const auto menu = ReadMenu(s, ui);
        s.Expect(!menu.empty() && menu.back() == L"Справка", "\"Справка\" is in the menu");
        ui.Menu(mcHelp);
        HWND help = s.Need(WaitForTopWindow(L"HH Parent", L""), "the HTML Help window");
        // The title comes from the file; Wine reads it in the ANSI code page of the prefix,
        // so only its presence is checked here.
        s.Expect(WaitFor([&] { return !TextOf(help).empty(); }), "the help window has the file's title");
        s.Shot({help}, L"help-window");
        PostMessageW(help, WM_CLOSE, 0, 0);
        s.Expect(WaitFor([&] { return !IsWindow(help); }), "the help window closes");
        Click(ui.Control(TWindow::kIdCancel));
      },
      [&] { ShowSettingsDlg(out); });
  for (const std::string& f : script.Failures) ADD_FAILURE() << f;
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
    if (arg.rfind("--idp-url=", 0) == 0) eqd::ui_test::gIdpUrl = arg.substr(10);
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
