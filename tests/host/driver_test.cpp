// The e-mail driver as a host sees it: made as the class factory makes it and called by
// method name through CallMethod. The sends go to the real SMTP server on loopback
// (aiosmtpd, STARTTLS and AUTH LOGIN) and are read back with Python's e-mail parser.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "automation/errors.h"
#include "driver_session.h"
#include "mail/event_log.h"
#include "mail/mime/mime_texts.h"
#include "mail/mime/text_format.h"
#include "support/smtp_server_fixture.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

namespace fs = std::filesystem;
using test::Arr;
using test::TCallResult;
using test::TDriverSession;
using test::TTempDir;

// Every regular file under the folder, recursively.
std::vector<fs::path> FilesUnder(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) files.push_back(e.path());
  return files;
}

// The folders directly in `folder`.
std::vector<fs::path> FoldersIn(const fs::path& folder) {
  std::vector<fs::path> folders;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.is_directory()) folders.push_back(e.path());
  return folders;
}

// Runs a shell command as the unprivileged user "nobody" (a second local user) and gives
// its exit status; the tests that need one run as root and are skipped otherwise.
int AsAnotherUser(const std::string& command) {
  const std::string line = "setpriv --reuid=65534 --regid=65534 --clear-groups sh -c " + test::ShellQuote(command) +
                           " 2>/dev/null";
  return std::system(line.c_str());
}

// The driver writes its temporary files, logs and traces only inside this test's folder.
class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"TMPDIR", "VLM_DODEZOZ41_DATA_DIR"})
      if (const char* v = std::getenv(name)) saved_[name] = v;
    tmp_ = root_.Path() / "tmp";
    fs::create_directories(tmp_);
    ::setenv("TMPDIR", tmp_.c_str(), 1);
    ::setenv("VLM_DODEZOZ41_DATA_DIR", (root_.Path() / "data").c_str(), 1);
  }
  void TearDown() override {
    SetEventLogMode(kEventLogOff);
    for (const char* name : {"TMPDIR", "VLM_DODEZOZ41_DATA_DIR"})
      if (saved_.count(name)) ::setenv(name, saved_[name].c_str(), 1); else ::unsetenv(name);
  }

  // Open, the SMTP settings (port 1: nothing listens there), Enable.
  void Enable(TDriverSession& s, std::map<std::string, Variant> extra = {}, const std::string& deviceId = "DEV1") {
    s.Open(deviceId);
    std::map<std::string, Variant> values{{"SmtpServerName", Variant("127.0.0.1")},
                                          {"SmtpServerPort", Variant("1")},
                                          {"SmtpServerUser", Variant("mailer")},
                                          {"SmtpServerPassword", Variant("secret")},
                                          {"UserEmail", Variant("robot@example.test")}};
    for (auto& [k, v] : extra) values[k] = v;
    ASSERT_TRUE(s.Set(values).Result);
    const TCallResult r = s.Call("Enable");
    ASSERT_TRUE(r.Result) << r.Text();
  }

  // The folders the driver made in the temporary folder (a test server keeps its own there too).
  std::vector<fs::path> DriverFolders() const {
    std::vector<fs::path> folders = FoldersIn(tmp_);
    std::erase_if(folders, [](const fs::path& f) { return f.filename().string().rfind("DEV1.", 0) != 0; });
    return folders;
  }

  TTempDir root_{"eqd-driver-"};
  fs::path tmp_;
  std::map<std::string, std::string> saved_;
};

TEST_F(DriverTest, MethodsSettingsAndDeviceInformation) {
  TDriverSession s;
  const char* names[] = {"Init",         "Open",           "Close",           "ShowSettingsDlg",  "GetDeviceInfo",
                         "Enable",       "Disable",        "GetSettings",     "SetSettings",      "CheckHealth",
                         "SendMail",     "ClearRecepients", "AddRecepient",   "AddCcRecepient",   "AddBccRecepient",
                         "ClearAttachments", "AddAttachment", "AddAttachmentBase64"};
  ASSERT_EQ(s.Driver().Methods().size(), std::size(names));
  for (std::size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(s.Driver().Methods()[i].Name, names[i]);

  const auto table = ReadSettingsTable(s.Call("GetSettings").Out);
  struct Row {
    const char* id;
    const char* value;
    const char* name;
  } rows[] = {{"SmtpServerName", "smtp.yandex.ru", "SMTP сервер"},
              {"SmtpServerPort", "587", "SMTP порт"},
              {"SmtpServerUser", "", "SMTP пользователь"},
              {"SmtpServerPassword", "", "SMTP пароль"},
              {"UserEmail", "", "Email отправителя"},
              {"Subject", "", "Тема уведомления"},
              {"BodyText", "", "Текст уведомления"}};
  ASSERT_EQ(table.size(), 25u);  // the security and OAuth settings follow
  EXPECT_EQ(table[0].ID, "DefaultTimeOut");
  EXPECT_EQ(table[2].ID, "DebugLogEnabled");
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const auto& t = table[3 + i];
    EXPECT_EQ(t.ID, rows[i].id);
    EXPECT_TRUE(SameValue(t.Value, Variant(rows[i].value))) << t.ID;  // a string, "587" too
    EXPECT_TRUE(SameValue(t.Default, Variant(rows[i].value))) << t.ID;
    EXPECT_EQ(t.TypeName, "String");
    EXPECT_FALSE(t.ReadOnly);
    EXPECT_EQ(t.Name, rows[i].name);
    EXPECT_EQ(t.Description, rows[i].name);
  }

  const TCallResult infoCall = s.Call("GetDeviceInfo");
  const auto& info = infoCall.Out.ArrayValue()->Elements();
  ASSERT_EQ(info.size(), 15u);
  EXPECT_EQ(info[0].StrValue(), "FastPaymentSystem");
  EXPECT_EQ(info[1].StrValue(), "5F3208C9-AF02-4EBE-B7D9-2FA8B54F9B29");
  EXPECT_EQ(info[2].StrValue(), "Корвента: клиент электронной почты");
  EXPECT_EQ(info[6].StrValue(), "VxEq.vlmCommon");
  EXPECT_TRUE(SameValue(info[8], Variant(false)));  // no desktop window in this build
  EXPECT_EQ(info[9].StrValue(), "Драйвер рассылки электронных уведомлений");
  const TCallResult dlg = s.Call("ShowSettingsDlg");
  EXPECT_EQ(dlg.Code(), 1003);
  EXPECT_EQ(dlg.Text(), "Команда не поддерживается устройством");

  std::string description = "x";
  EXPECT_TRUE(s.Driver().DeviceTest(description));
  EXPECT_EQ(description, "");
}

TEST_F(DriverTest, EveryEMailMethodNeedsTheEnabledDevice) {
  TDriverSession s;
  const Variant anything = Arr({Variant("a@example.test"), Variant("x"), Variant("y"), Variant("z")});
  for (const char* m : {"SendMail", "ClearRecepients", "AddRecepient", "AddCcRecepient", "AddBccRecepient",
                        "ClearAttachments", "AddAttachment", "AddAttachmentBase64"}) {
    const TCallResult r = s.Call(m, anything);
    EXPECT_EQ(r.Code(), 70) << m;
    EXPECT_EQ(r.Text(), "Устройство не включено") << m;
  }
  EXPECT_TRUE(FilesUnder(tmp_).empty());

  // Disable keeps the lists for the next Enable.
  Enable(s);
  ASSERT_TRUE(s.Call("AddRecepient", Arr({Variant("a@example.test")})).Result);
  ASSERT_TRUE(s.Call("Disable").Result);
  EXPECT_EQ(s.Call("AddRecepient", Arr({Variant("b@example.test")})).Code(), 70);
  ASSERT_TRUE(s.Call("Enable").Result);
  EXPECT_EQ(ValueToText(s.Driver().RecepientsArray()), "[('a@example.test')]");
}

TEST_F(DriverTest, EnableChecksTheSmtpSettingsInOrder) {
  struct Case {
    std::map<std::string, Variant> settings;
    const char* error;  // nullptr: enables
  } cases[] = {
      {{}, "Не задан SMTP пользователь"},  // server and port have defaults
      {{{"SmtpServerName", Variant("  ")}}, "Не задан SMTP сервер"},
      {{{"SmtpServerUser", Variant("u")}, {"SmtpServerPassword", Variant("   ")}}, "Не задан пароль SMTP пользователя"},
      {{{"SmtpServerUser", Variant("u")}, {"SmtpServerPassword", Variant("p")}}, "Не задан EMail отправителя"},
      {{{"SmtpServerPort", Variant("abc")}}, "Не задан порт SMTP сервера"},
      {{{"SmtpServerPort", Variant("25 ")}}, "Не задан порт SMTP сервера"},
      {{{"SmtpServerPort", Variant("-1")}}, "Не задан порт SMTP сервера"},
      {{{"SmtpServerPort", Variant("")}}, "Не задан порт SMTP сервера"},
      {{{"SmtpServerUser", Variant("u")}, {"SmtpServerPassword", Variant("p")}, {"UserEmail", Variant(" r@x ")},
        {"SmtpServerPort", Variant("  +0")}},
       nullptr},
      {{{"SmtpServerUser", Variant("u")}, {"SmtpServerPassword", Variant("p")}, {"UserEmail", Variant("r@x")},
        {"SmtpServerPort", Variant(std::int32_t{2525})}},  // a number stored by the host reads as its text
       nullptr},
      {{{"SmtpServerUser", Variant("u")}, {"SmtpServerPassword", Variant("p")}, {"UserEmail", Variant("r@x")},
        {"SmtpServerPort", Variant(Decimal{0, false, 0, 2525})}},  // so does a decimal
       nullptr},
  };
  for (const Case& c : cases) {
    TDriverSession s;
    ASSERT_TRUE(c.settings.empty() || s.Set(c.settings).Result);
    const TCallResult r = s.Call("Enable");
    if (c.error == nullptr) {
      EXPECT_TRUE(r.Result) << r.Text();
      EXPECT_EQ(s.Driver().DeviceState(), dsEnabled);
      EXPECT_EQ(s.Driver().Device().FUserEmail, "r@x");
    } else {
      EXPECT_EQ(r.Code(), 1001) << c.error;
      EXPECT_EQ(r.Text(), c.error);
      EXPECT_NE(s.Driver().DeviceState(), dsEnabled);
    }
  }
}

// The connection security settings follow the seven SMTP settings. Their defaults keep
// the driver as it always was; each has a description naming the values it takes.
TEST_F(DriverTest, SecuritySettingsFollowTheSmtpSettingsWithTheOldBehaviourAsDefault) {
  TDriverSession s;
  const auto table = ReadSettingsTable(s.Call("GetSettings").Out);
  ASSERT_EQ(table.size(), 25u);  // the OAuth settings follow (driver_oauth_test.cpp)
  struct Row {
    const char* id;
    Variant value;
    const char* type;
    const char* name;
    const char* descriptionHas;
  } rows[] = {{"SmtpSecurity", Variant("Авто"), "String", "Защита соединения", "SSL/TLS"},
              {"SmtpAuthMethod", Variant("Авто"), "String", "Способ авторизации", "Без авторизации"},
              {"SmtpVerifyCertificate", Variant(false), "Boolean", "Проверять сертификат сервера", "срок действия"},
              {"SmtpCertificatePin", Variant(""), "String", "Отпечаток ключа сертификата", "SPKI"}};
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const auto& t = table[10 + i];
    EXPECT_EQ(t.ID, rows[i].id);
    EXPECT_TRUE(SameValue(t.Value, rows[i].value)) << t.ID;
    EXPECT_TRUE(SameValue(t.Default, rows[i].value)) << t.ID;
    EXPECT_EQ(t.TypeName, rows[i].type);
    EXPECT_FALSE(t.ReadOnly);
    EXPECT_EQ(t.Name, rows[i].name);
    EXPECT_NE(t.Description.find(rows[i].descriptionHas), std::string::npos) << t.Description;
  }
  // The last: how long a session stays open for the next send; 0 as the driver always was.
  const auto& keepAlive = table.back();
  EXPECT_EQ(keepAlive.ID, "SmtpKeepAlive");
  EXPECT_TRUE(SameValue(keepAlive.Default, Variant(std::int32_t{0})));
  EXPECT_EQ(keepAlive.TypeName, "Number");
  EXPECT_EQ(keepAlive.Name, "Удержание соединения, секунд");
}

TEST_F(DriverTest, EnableReadsTheSecuritySettingsAndTheLoginFollowsTheMethod) {
  const std::map<std::string, Variant> base{{"SmtpServerUser", Variant("u")}, {"SmtpServerPassword", Variant("p")},
                                            {"UserEmail", Variant("r@x")}};
  const std::string pinHex = "8a1b2c3d4e5f60718293a4b5c6d7e8f90112233445566778899aabbccddeeff0";
  TKeySha256 pin{};
  for (std::size_t i = 0; i < pin.size(); ++i)
    pin[i] = static_cast<std::uint8_t>(std::stoi(pinHex.substr(2 * i, 2), nullptr, 16));
  const auto sec = [](TSmtpSecurity security, TSmtpAuthMethod method = TSmtpAuthMethod::amAuto,
                      bool verify = false, std::optional<TKeySha256> key = std::nullopt) {
    TSmtpSecurityStruct s;
    s.Security = security;
    s.AuthMethod = method;
    s.VerifyCertificate = verify;
    s.PinnedKey = key;
    return s;
  };
  const TSmtpSecurityStruct defaults = sec(TSmtpSecurity::ssAuto);
  struct Case {
    const char* name;
    std::map<std::string, Variant> settings;  // over `base`
    const char* error;                        // nullptr: enables with `expected`
    TSmtpSecurityStruct expected;
    const char* user;
  } cases[] = {
      {"defaults", {}, nullptr, defaults, "u"},
      {"each mode by its text, Latin letters in any case, blanks around",
       {{"SmtpSecurity", Variant(" starttls ")}}, nullptr, sec(TSmtpSecurity::ssStartTls), "u"},
      {"implicit TLS", {{"SmtpSecurity", Variant("SSL/TLS")}}, nullptr, sec(TSmtpSecurity::ssImplicitTls), "u"},
      {"no encryption", {{"SmtpSecurity", Variant("Без шифрования")}}, nullptr, sec(TSmtpSecurity::ssNone), "u"},
      {"empty text is the default", {{"SmtpSecurity", Variant("")}, {"SmtpAuthMethod", Variant("")}}, nullptr, defaults, "u"},
      {"PLAIN", {{"SmtpAuthMethod", Variant("plain")}}, nullptr, sec(TSmtpSecurity::ssAuto, TSmtpAuthMethod::amPlain), "u"},
      {"LOGIN", {{"SmtpAuthMethod", Variant("LOGIN")}}, nullptr, sec(TSmtpSecurity::ssAuto, TSmtpAuthMethod::amLogin), "u"},
      {"verification as a Boolean or its text",
       {{"SmtpVerifyCertificate", Variant("true")}}, nullptr,
       sec(TSmtpSecurity::ssAuto, TSmtpAuthMethod::amAuto, true), "u"},
      {"a pin in hex with colons",
       {{"SmtpCertificatePin", Variant("8A:1B:2C:3D:4E:5F:60:71:82:93:A4:B5:C6:D7:E8:F9:01:12:23:34:45:56:67:78:89:"
                                       "9A:AB:BC:CD:DE:EF:F0")}},
       nullptr, sec(TSmtpSecurity::ssAuto, TSmtpAuthMethod::amAuto, false, pin), "u"},
      {"a pin in Base64", {{"SmtpCertificatePin", Variant("ihssPU5fYHGCk6S1xtfo+QESIzRFVmd4iZqrvM3e7/A=")}}, nullptr,
       sec(TSmtpSecurity::ssAuto, TSmtpAuthMethod::amAuto, false, pin), "u"},
      // Without authorisation no user or password is needed, and none is kept.
      {"no login needs neither",
       {{"SmtpAuthMethod", Variant("Без авторизации")}, {"SmtpServerUser", Variant("")},
        {"SmtpServerPassword", Variant("")}},
       nullptr, sec(TSmtpSecurity::ssAuto, TSmtpAuthMethod::amNone), ""},
      {"no login drops a user given anyway",
       {{"SmtpAuthMethod", Variant("Без авторизации")}}, nullptr, sec(TSmtpSecurity::ssAuto, TSmtpAuthMethod::amNone), ""},
      {"PLAIN needs a password", {{"SmtpAuthMethod", Variant("PLAIN")}, {"SmtpServerPassword", Variant(" ")}},
       "Не задан пароль SMTP пользователя", defaults, "u"},
      {"a bad mode comes before the user check",
       {{"SmtpSecurity", Variant("TLS")}, {"SmtpServerUser", Variant("")}},
       "Неверное значение настройки SmtpSecurity: \"TLS\". Допустимые значения: Авто, STARTTLS, SSL/TLS, "
       "Без шифрования", defaults, "u"},
      {"a bad method",
       {{"SmtpAuthMethod", Variant("CRAM-MD5")}},
       "Неверное значение настройки SmtpAuthMethod: \"CRAM-MD5\". Допустимые значения: Авто, LOGIN, PLAIN, "
       "Без авторизации, OAuth 2.0", defaults, "u"},
      {"a Cyrillic value compares exactly", {{"SmtpSecurity", Variant("авто")}},
       "Неверное значение настройки SmtpSecurity: \"авто\". Допустимые значения: Авто, STARTTLS, SSL/TLS, "
       "Без шифрования", defaults, "u"},
      {"verification that is no Boolean", {{"SmtpVerifyCertificate", Variant("да")}},
       "Неверное значение настройки SmtpVerifyCertificate: \"да\". Допустимые значения: True, False", defaults, "u"},
      {"a pin too short", {{"SmtpCertificatePin", Variant("8a1b2c")}},
       "Неверный отпечаток ключа сертификата (SmtpCertificatePin): нужен SHA-256 открытого ключа (SPKI), "
       "64 шестнадцатеричные цифры или 44 знака Base64", defaults, "u"},
      {"a pin with a stray letter", {{"SmtpCertificatePin", Variant(pinHex.substr(0, 63) + "g")}},
       "Неверный отпечаток ключа сертификата (SmtpCertificatePin): нужен SHA-256 открытого ключа (SPKI), "
       "64 шестнадцатеричные цифры или 44 знака Base64", defaults, "u"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDriverSession s;
    std::map<std::string, Variant> settings = base;
    for (const auto& [k, v] : c.settings) settings[k] = v;
    ASSERT_TRUE(s.Set(settings).Result);
    const TCallResult r = s.Call("Enable");
    if (c.error == nullptr) {
      ASSERT_TRUE(r.Result) << r.Text();
      const TSmtpSecurityStruct& got = s.Driver().Security();
      EXPECT_EQ(got.Security, c.expected.Security);
      EXPECT_EQ(got.AuthMethod, c.expected.AuthMethod);
      EXPECT_EQ(got.VerifyCertificate, c.expected.VerifyCertificate);
      EXPECT_EQ(got.PinnedKey, c.expected.PinnedKey);
      EXPECT_EQ(s.Driver().Device().FSmtpServerUser, c.user);
    } else {
      EXPECT_EQ(r.Code(), 1001);
      EXPECT_EQ(r.Text(), c.error);
      EXPECT_NE(s.Driver().DeviceState(), dsEnabled);
    }
  }
}

// The SMTP password never reaches a file: the trace shows a mask wherever its value
// would stand (the header, the settings tables of SetSettings and GetSettings), the
// empty text as it is; every other line stays as it was.
TEST_F(DriverTest, TheTraceMasksTheSmtpPassword) {
  struct Case {
    const char* password;
    const char* shown;
  } cases[] = {{"s3cret-Пароль", "'********'"}, {"", "''"}};
  for (const Case& c : cases) {
    TTempDir data("eqd-driver-data-");
    ::setenv("VLM_DODEZOZ41_DATA_DIR", data.Path().c_str(), 1);
    TDriverSession s;
    s.Open("DEV1");
    ASSERT_TRUE(s.Set({{"DebugLogEnabled", Variant(true)}, {"SmtpServerUser", Variant("mailer")},
                       {"SmtpServerPassword", Variant(c.password)}})
                    .Result);
    s.Call("Enable");                                     // writes the header
    ASSERT_TRUE(s.Set({{"SmtpServerPassword", Variant(c.password)}}).Result);  // traced
    ASSERT_TRUE(s.Call("GetSettings").Result);
    ASSERT_TRUE(s.Call("Disable").Result);

    std::string text;
    for (const fs::path& f : FilesUnder(data.Path())) text += test::ReadFileBytes(f);
    EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
    EXPECT_NE(text.find("SmtpServerPassword: \t" + std::string(c.shown) + "\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("> SetSettings: \tInData: [([(('SmtpServerPassword'; " + std::string(c.shown) + "))])]\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("('SmtpServerPassword'; " + std::string(c.shown) + "; 'String'; ''; False; "),
              std::string::npos)
        << text;
    // The other settings are shown as they are.
    EXPECT_NE(text.find("SmtpServerUser: \t'mailer'\r\n"), std::string::npos);
    EXPECT_NE(text.find("('SmtpServerUser'; 'mailer'; 'String'; ''; False; "), std::string::npos);
  }
}

TEST(DriverHelpersTest, PortTextAndAddressJoining) {
  for (auto [text, port] : {std::pair{"587", 587}, {" 25", 25}, {"+25", 25}, {"-7", -7}, {"0", 0}, {"70000", 70000},
                            {"25 ", -1}, {"", -1}, {" ", -1}, {"0x19", -1}, {"2147483648", -1}, {"1e3", -1}, {"+", -1}})
    EXPECT_EQ(SmtpPortFromText(text), port) << text;

  EXPECT_EQ(JoinAddresses(Variant()), "");
  EXPECT_EQ(JoinAddresses(Arr({Variant("a@x"), Variant(" b@x")})), "a@x; b@x;");
  EXPECT_EQ(JoinAddresses(Arr({Variant::Null(), Variant("a@x"), Variant(), Variant(std::int32_t{5})})), "a@x;5;");
  SafeArray fromOne({ArrayBound{1, 2}});
  fromOne.At({1}) = Variant("a@x");
  fromOne.At({2}) = Variant("b@x");
  EXPECT_EQ(JoinAddresses(Variant(fromOne)), "a@x;b@x;");
  EXPECT_THROW(JoinAddresses(Variant(SafeArray({ArrayBound{0, 1}, ArrayBound{0, 1}}))), ERangeError);
}

TEST_F(DriverTest, RecipientListsKeepWhatWasGiven) {
  TDriverSession s;
  Enable(s);
  for (const Variant& in : {Arr({Variant(" a@x ")}), Arr({Variant("   ")}), Variant(), Arr({}), Arr({Variant::Null()}),
                            Arr({Variant("a@x")}), Arr({Variant("a@x")})})
    EXPECT_TRUE(s.Call("AddRecepient", in).Result);
  EXPECT_TRUE(s.Call("AddCcRecepient", Arr({Variant("c@x")})).Result);
  EXPECT_TRUE(s.Call("AddBccRecepient", Arr({Variant("b@x")})).Result);
  EXPECT_EQ(ValueToText(s.Driver().RecepientsArray()), "[(' a@x '; 'a@x'; 'a@x')]");
  EXPECT_EQ(ValueToText(s.Driver().CcRecepientsArray()), "[('c@x')]");
  EXPECT_EQ(ValueToText(s.Driver().BccRecepientsArray()), "[('b@x')]");

  EXPECT_TRUE(s.Call("AddAttachment", Arr({Variant("/no/such/file.pdf"), Variant("image/png"), Variant("id1")})).Result);
  EXPECT_TRUE(s.Call("AddAttachment", Arr({Variant("  ")})).Result);
  EXPECT_EQ(ValueToText(s.Driver().AttachmentPathsArray()), "[(('/no/such/file.pdf'; 'image/png'; 'id1'))]");

  EXPECT_TRUE(s.Call("ClearRecepients").Result);
  EXPECT_TRUE(s.Driver().RecepientsArray().IsEmpty());
  EXPECT_TRUE(s.Driver().CcRecepientsArray().IsEmpty());
  EXPECT_TRUE(s.Driver().BccRecepientsArray().IsEmpty());
  EXPECT_FALSE(s.Driver().AttachmentPathsArray().IsEmpty());
}

TEST_F(DriverTest, SendMailRefusalsKeepTheListsAndConnectNowhere) {
  TDriverSession s;
  Enable(s);
  const Variant none;
  auto send = [&](Variant to, Variant subject, Variant attachments = Variant()) {
    return s.Call("SendMail", Arr({std::move(to), none, none, std::move(subject), Variant("<p>b</p>"),
                                   std::move(attachments)}));
  };
  TCallResult r = send(none, Variant("S"));  // no Add calls: no recipient at all
  EXPECT_EQ(r.Code(), 1004);
  EXPECT_EQ(r.Text(), "Не заполнен получатель");
  r = send(Arr({Variant(""), Variant("a@x")}), Variant("S"));  // only element 0 counts
  EXPECT_EQ(r.Code(), 1004);
  EXPECT_EQ(r.Text(), "Не заполнен получатель");
  SafeArray fromOne({ArrayBound{1, 1}});
  fromOne.At({1}) = Variant("a@x");
  r = send(Variant(fromOne), Variant("S"));
  EXPECT_EQ(r.Code(), 1004);
  EXPECT_EQ(r.Text(), "Индекс массива вне границ");

  ASSERT_TRUE(s.Call("AddRecepient", Arr({Variant("a@x")})).Result);
  ASSERT_TRUE(s.Call("AddAttachment", Arr({Variant("/no/such/file")})).Result);
  r = send(none, Variant("   "));  // no subject, and the Subject setting is empty
  EXPECT_EQ(r.Code(), 1001);
  EXPECT_EQ(r.Text(), "Тема уведомления не может быть пустой");
  r = send(none, Variant("S"), Arr({Variant("/a"), Variant(""), Variant("")}));
  EXPECT_EQ(r.Code(), 1001);
  EXPECT_EQ(r.Text(), "Список вложений должен быть двумерным массивом: путь, тип содержимого, идентификатор");
  SafeArray shortRows({ArrayBound{0, 2}, ArrayBound{0, 1}});
  r = send(none, Variant("S"), Variant(shortRows));  // rows 0 and 1 only
  EXPECT_EQ(r.Code(), 1001);
  EXPECT_EQ(r.Text(), "Индекс массива вне границ");
  EXPECT_EQ(ValueToText(s.Driver().RecepientsArray()), "[('a@x')]");
  EXPECT_FALSE(s.Driver().AttachmentPathsArray().IsEmpty());
}

TEST_F(DriverTest, Base64AttachmentsLiveInAPrivateFolderUntilCleared) {
  TDriverSession s;
  Enable(s);
  // "Привет, мир" in Base64, broken into lines, with blanks, padding and a stray "!".
  const std::string text = " 0J/RgNC4\r\n0LLQtdGC LCDQ\nvNC4!0YA=\r\n";
  ASSERT_TRUE(s.Call("AddAttachmentBase64", Arr({Variant("отчёт.txt"), Variant(text), Variant(""), Variant("")})).Result);
  ASSERT_EQ(s.Driver().TmpFileList().size(), 1u);
  const fs::path file = s.Driver().TmpFileList()[0];
  EXPECT_EQ(file.filename(), "отчёт.txt");
  EXPECT_EQ(test::ReadFileBytes(file), "Привет, мир");
  // One folder of the object's own in the temporary folder, named after the device.
  const std::vector<fs::path> folders = FoldersIn(tmp_);
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(folders[0].filename().string().rfind("DEV1.", 0), 0u) << folders[0];
  EXPECT_EQ(file.parent_path().parent_path(), folders[0]);
  struct stat st {};
  ASSERT_EQ(::lstat(folders[0].c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);  // the host's data: for the owner's eyes only
  EXPECT_EQ(st.st_uid, ::geteuid());
  ASSERT_EQ(::lstat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  // The same name again: a file of its own, with the same name, and the first keeps its content.
  ASSERT_TRUE(s.Call("AddAttachmentBase64", Arr({Variant("отчёт.txt"), Variant("QUJD"), Variant("image/png"), Variant("id")})).Result);
  const std::vector<std::string> files = s.Driver().TmpFileList();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0], file.string());
  EXPECT_EQ(fs::path(files[1]).filename(), "отчёт.txt");
  EXPECT_EQ(test::ReadFileBytes(files[0]), "Привет, мир");
  EXPECT_EQ(test::ReadFileBytes(files[1]), "ABC");
  EXPECT_EQ(ValueToText(s.Driver().AttachmentPathsArray()),
            "[(('" + files[0] + "'; ''; '')('" + files[1] + "'; 'image/png'; 'id'))]");

  ASSERT_TRUE(s.Call("ClearAttachments").Result);
  EXPECT_TRUE(fs::is_empty(tmp_));  // the folders too
  EXPECT_TRUE(s.Driver().AttachmentPathsArray().IsEmpty());

  // Fewer than four elements: nothing is written.
  const TCallResult r = s.Call("AddAttachmentBase64", Arr({Variant("a.txt"), Variant("QUJD"), Variant("")}));
  EXPECT_EQ(r.Code(), 1004);
  EXPECT_EQ(r.Text(), "Индекс массива вне границ");
  EXPECT_EQ(s.Call("AddAttachmentBase64", Variant("a.txt")).Code(), 1004);
  EXPECT_TRUE(FilesUnder(tmp_).empty());
}

TEST_F(DriverTest, TheDeviceIdentifierNamesTheFolderButNeverLeadsOutOfTheTemporaryFolder) {
  const struct {
    std::string id;
    std::string prefix;  // of the folder's name
  } cases[] = {
      {"../victim", "___victim."}, {"..", "__."},           {"a/../../b", "a_______b."}, {"/etc", "_etc."},
      {"C:\\evil", "C__evil."},    {"CON", "CON_."},        {"Касса 1", std::string(11, '_') + "1."},
      {"", "attachments."},        {std::string(300, 'x'), std::string(64, 'x') + "."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    TDriverSession s;
    Enable(s, {}, c.id);
    ASSERT_TRUE(s.Call("AddAttachmentBase64", Arr({Variant("a.txt"), Variant("QUJD"), Variant(""), Variant("")})).Result);
    const std::vector<fs::path> folders = FoldersIn(tmp_);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].filename().string().rfind(c.prefix, 0), 0u) << folders[0];
    EXPECT_EQ(fs::path(s.Driver().TmpFileList()[0]).parent_path().parent_path(), folders[0]);
    EXPECT_FALSE(fs::exists(root_.Path() / "victim"));
    s.Release();
    EXPECT_TRUE(fs::is_empty(tmp_));
  }
}

TEST_F(DriverTest, AFolderAnotherUserPlantedIsNeverUsed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
  // The temporary folder is shared as /tmp is; another user makes the folder the device
  // identifier would name, open to all, with a link in it to a file only we may read.
  fs::permissions(tmp_, fs::perms::all | fs::perms::sticky_bit);
  const std::string secret = root_.Write("secret.txt", "TOP SECRET");
  fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
  const fs::path planted = tmp_ / "DEV1";
  ASSERT_EQ(AsAnotherUser("mkdir -m 777 " + test::ShellQuote(planted.string()) + " && ln -s " +
                          test::ShellQuote(secret) + " " + test::ShellQuote((planted / "a.txt").string())),
            0);

  TDriverSession s;
  Enable(s);
  ASSERT_TRUE(s.Call("AddAttachmentBase64", Arr({Variant("a.txt"), Variant("QUJD"), Variant(""), Variant("")})).Result);
  const fs::path file = s.Driver().TmpFileList()[0];
  const fs::path folder = file.parent_path().parent_path();  // the object's own
  EXPECT_EQ(folder.parent_path(), tmp_);
  EXPECT_NE(folder, planted);
  EXPECT_EQ(test::ReadFileBytes(file), "ABC");
  // The other user cannot reach our file to swap it: whatever it tries fails.
  EXPECT_NE(AsAnotherUser("ln -sf " + test::ShellQuote(secret) + " " + test::ShellQuote(file.string())), 0);
  EXPECT_EQ(test::ReadFileBytes(file), "ABC");
  EXPECT_TRUE(fs::is_symlink(planted / "a.txt"));  // the planted folder is left as it was
  s.Release();
  EXPECT_EQ(FoldersIn(tmp_), std::vector<fs::path>{planted});
  EXPECT_EQ(test::ReadFileBytes(secret), "TOP SECRET");
}

TEST_F(DriverTest, Base64AttachmentNamesThatLeaveTheFolderAreRefused) {
  TDriverSession s;
  Enable(s);
  fs::create_directories(root_.Path() / "victim");
  for (const std::string& name : std::vector<std::string>{"", " ", ".", "..", "...", "../escape.txt", "..\\escape.txt", "sub/a.txt",
                                 "C:evil.txt", "a.txt:stream", std::string("a\0b", 3), "line\nbreak.txt", "tab\t.txt",
                                 "CON", "nul.txt", "Com1.log", "LPT9", "aux .txt", "/etc/passwd", "COM\u00b9",
                                 "LPT\u00b2.txt", "com\u00b3.log", "COM0", "lpt0.txt"}) {
    const TCallResult r = s.Call("AddAttachmentBase64", Arr({Variant(name), Variant("QUJD"), Variant(""), Variant("")}));
    EXPECT_EQ(r.Code(), 1004) << name;
    EXPECT_EQ(r.Text().rfind("Недопустимое имя файла вложения", 0), 0u) << r.Text();
  }
  EXPECT_TRUE(FilesUnder(root_.Path()).empty());
  EXPECT_TRUE(s.Driver().AttachmentPathsArray().IsEmpty());
  // Names that only look odd are plain files.
  for (const char* name : {"..hidden", "a..b.txt", "console.txt", "COM10", "отчёт (копия).pdf"})
    EXPECT_TRUE(s.Call("AddAttachmentBase64", Arr({Variant(name), Variant("QUJD"), Variant(""), Variant("")})).Result)
        << name;
  EXPECT_EQ(FilesUnder(tmp_).size(), 5u);
}

TEST_F(DriverTest, AttachmentPathsWithANulAreRefused) {
  TDriverSession s;
  Enable(s);
  const std::string path("/etc/hostname\0.pdf", 18);
  const std::string message = "Путь к файлу вложения содержит нулевой символ: \"/etc/hostname\\x00.pdf\"";
  TCallResult r = s.Call("AddAttachment", Arr({Variant(path), Variant(""), Variant("")}));
  EXPECT_EQ(r.Code(), 1004);
  EXPECT_EQ(r.Text(), message);
  EXPECT_TRUE(s.Driver().AttachmentPathsArray().IsEmpty());

  // Given in SendMail's own attachment array: refused before any connection is tried.
  SafeArray attachments({ArrayBound{0, 3}, ArrayBound{0, 1}});
  attachments.At({0, 0}) = Variant(path);
  r = s.Call("SendMail", Arr({Arr({Variant("a@example.test")}), Variant(), Variant(), Variant("S"), Variant("<p>b</p>"),
                              Variant(attachments)}));
  EXPECT_EQ(r.Code(), 1001);
  EXPECT_EQ(r.Text(), message);
}

TEST_F(DriverTest, AttachmentHeaderValuesThatCannotGoIntoAHeaderAreRefused) {
  TDriverSession s;
  Enable(s);
  const std::string path = (root_.Path() / "logo.png").string();
  const struct {
    std::string ContentType, ContentID, Text;
  } cases[] = {
      {"image/png\x0B", "logo", "Недопустимый тип содержимого вложения: \"image/png\\x0B\". Допустимы только печатные символы ASCII"},
      {"image/png", "\x1B]0;title\x07", "Недопустимый идентификатор содержимого вложения: \"\\x1B]0;title\\x07\". Допустимы только печатные символы ASCII"},
      {"image/png", "logo\r\nBcc: x@evil.test", "Недопустимый идентификатор содержимого вложения: \"logo\\x0D\\x0ABcc: x@evil.test\". Допустимы только печатные символы ASCII"},
      {"изображение/png", "logo", "Недопустимый тип содержимого вложения: \"изображение/png\". Допустимы только печатные символы ASCII"},
      {"image/png", std::string(2006, 'i'), "Слишком длинный идентификатор содержимого вложения: 2006 байт, допустимо не более 986"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    TCallResult r = s.Call("AddAttachment", Arr({Variant(path), Variant(c.ContentType), Variant(c.ContentID)}));
    EXPECT_EQ(r.Code(), 1004);
    EXPECT_EQ(r.Text(), c.Text);
    r = s.Call("AddAttachmentBase64", Arr({Variant("logo.png"), Variant("QUJD"), Variant(c.ContentType), Variant(c.ContentID)}));
    EXPECT_EQ(r.Code(), 1004);
    EXPECT_EQ(r.Text(), c.Text);
  }
  EXPECT_TRUE(s.Driver().AttachmentPathsArray().IsEmpty());
  EXPECT_TRUE(FilesUnder(tmp_).empty());  // no file decoded for a refused attachment
  EXPECT_TRUE(s.Call("AddAttachment", Arr({Variant(path), Variant("image/png"), Variant("<logo@x>")})).Result);
}

TEST_F(DriverTest, AddressesLongerThanSmtpAllowsAreRefusedBeforeConnecting) {
  TDriverSession s;
  Enable(s);  // port 1: a send that got as far as connecting would fail with a network error
  const std::string address = std::string(1500, 'a') + "@x.test";
  const TCallResult r = s.Call("SendMail", Arr({Arr({Variant(address)}), Variant(), Variant(), Variant("S"),
                                                Variant("<p>b</p>"), Variant()}));
  EXPECT_EQ(r.Code(), 1001);
  EXPECT_EQ(r.Text(), FormatText(mime_texts::kAddressTooLong, {address}));
}

TEST_F(DriverTest, AttachmentsThatAreNoRegularFilesFailTheSendBeforeAnyConnection) {
  TDriverSession s;
  Enable(s);  // port 1: a send that got as far as connecting would fail with a network error
  const fs::path pipe = root_.Path() / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const fs::path folder = root_.Path() / "folder";
  fs::create_directories(folder);
  const struct {
    std::string path;
    bool inCall;  // in SendMail's own array rather than added with AddAttachment
  } cases[] = {{pipe.string(), false}, {"/dev/zero", false}, {folder.string(), false}, {pipe.string(), true}};
  ASSERT_TRUE(s.Call("AddRecepient", Arr({Variant("a@example.test")})).Result);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Variant attachments;
    if (c.inCall) {
      SafeArray a({ArrayBound{0, 3}, ArrayBound{0, 1}});
      a.At({0, 0}) = Variant(c.path);
      attachments = Variant(a);
    } else {
      ASSERT_TRUE(s.Call("ClearAttachments").Result);
      ASSERT_TRUE(s.Call("AddAttachment", Arr({Variant(c.path), Variant(""), Variant("")})).Result);
    }
    const TCallResult r =
        s.Call("SendMail", Arr({Variant(), Variant(), Variant(), Variant("S"), Variant("<p>b</p>"), attachments}));
    EXPECT_EQ(r.Code(), 1001);
    EXPECT_EQ(r.Text(), FormatText(mime_texts::kAttachmentNotRegularFile, {c.path}));
    EXPECT_EQ(ValueToText(s.Driver().RecepientsArray()), "[('a@example.test')]");  // kept for a retry
  }
}

TEST_F(DriverTest, ReleaseDeletesTheTemporaryFilesStillListed) {
  TDriverSession s;
  Enable(s);
  ASSERT_TRUE(s.Call("AddAttachmentBase64", Arr({Variant("a.bin"), Variant("AAEC"), Variant(""), Variant("")})).Result);
  ASSERT_EQ(FilesUnder(tmp_).size(), 1u);
  s.Release();
  EXPECT_TRUE(fs::is_empty(tmp_));  // nothing left behind, the folders included
}

// ---- sends to the real server ----

class DriverMailTest : public DriverTest {
 protected:
  // Settings of the loopback server; Subject and BodyText as given.
  void EnableFor(TDriverSession& s, const test::TSmtpServerProcess& server, std::map<std::string, Variant> extra = {}) {
    extra.emplace("SmtpServerName", Variant("localhost"));
    extra.emplace("SmtpServerPort", Variant(std::to_string(server.Port())));
    extra.emplace("SmtpServerUser", Variant(test::TSmtpServerOptions{}.User));
    extra.emplace("SmtpServerPassword", Variant(test::TSmtpServerOptions{}.Password));
    extra.emplace("UserEmail", Variant("Робот уведомлений <robot@example.test>"));
    Enable(s, extra);
  }
  TTempDir files_{"eqd-driver-files-"};
};

// The device test's box says under "Успешно!" what the connection test proved, once;
// a failed connection test leaves nothing to say.
TEST_F(DriverMailTest, TheDeviceTestSaysWhatTheConnectionTestProved) {
  test::TSmtpServerProcess server;
  TDriverSession s;
  EnableFor(s, server, {{"SmtpSecurity", Variant("STARTTLS")}, {"SmtpAuthMethod", Variant("PLAIN")}});
  std::string description;
  ASSERT_TRUE(s.Driver().TestConnection(description)) << description;
  const std::string text = s.Driver().DeviceTestText();
  EXPECT_EQ(text.rfind("Успешно!\r\n\r\nСоединение: TLS 1.3, ", 0), 0u) << text;
  EXPECT_NE(text.find("\r\nСертификат не проверялся; SHA-256 его ключа (SPKI) для настройки «Отпечаток ключа»: "),
            std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("\r\nАвторизация: PLAIN")) << text;
  ASSERT_TRUE(s.Driver().DeviceTest(description));
  EXPECT_EQ(s.Driver().DeviceTestText(), "Успешно!");

  ASSERT_TRUE(s.Driver().TestConnection(description));
  ASSERT_TRUE(s.Set({{"SmtpServerPassword", Variant("wrong")}}).Result);
  EXPECT_FALSE(s.Driver().TestConnection(description));
  EXPECT_EQ(s.Driver().DeviceTestText(), "Успешно!");
}

TEST_F(DriverMailTest, SendsTheCollectedListsAndEmptiesThem) {
  test::TSmtpServerProcess server;
  TDriverSession s;
  EnableFor(s, server);
  const std::string logo = files_.Write("logo.png", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
  const std::string report = files_.Write("report.pdf", "%PDF-1.4 report");
  for (const char* a : {"first@example.test", "Второй <second@example.test>"})
    ASSERT_TRUE(s.Call("AddRecepient", Arr({Variant(a)})).Result);
  ASSERT_TRUE(s.Call("AddCcRecepient", Arr({Variant("copy@example.test")})).Result);
  ASSERT_TRUE(s.Call("AddBccRecepient", Arr({Variant("hidden@example.test")})).Result);
  ASSERT_TRUE(s.Call("AddAttachment", Arr({Variant(logo), Variant("image/png"), Variant("logo1")})).Result);
  ASSERT_TRUE(s.Call("AddAttachment", Arr({Variant(report), Variant(""), Variant("")})).Result);
  ASSERT_TRUE(s.Call("AddAttachmentBase64", Arr({Variant("данные.csv"), Variant("YTtiDQox"), Variant(""), Variant("")})).Result);

  const TCallResult r = s.Call("SendMail", Arr({Variant(), Variant(), Variant(), Variant(" Отчёт за март "),
                                                Variant("<p>Здравствуйте! <img src=\"cid:logo1\"></p>"), Variant()}));
  ASSERT_TRUE(r.Result) << r.Text();
  EXPECT_TRUE(r.Out.IsEmpty());

  const auto eml = server.WaitForMessage(1);
  EXPECT_EQ(server.Envelope(1)["mail_from"], "robot@example.test");
  EXPECT_EQ(server.Envelope(1)["rcpt_tos"], nlohmann::json::array({"first@example.test", "second@example.test",
                                                                   "copy@example.test", "hidden@example.test"}));
  EXPECT_EQ(server.Envelope(1)["auth_user"], test::TSmtpServerOptions{}.User);
  EXPECT_NE(server.Envelope(1)["tls_version"], nullptr);
  const auto m = test::SummarizeMessage(eml, files_.Path() / "out");
  EXPECT_EQ(m["subject"], "Отчёт за март");
  EXPECT_EQ(m["to"], "first@example.test, Второй <second@example.test>");
  EXPECT_EQ(m["cc"], "copy@example.test");
  EXPECT_EQ(m["bcc"], "");
  EXPECT_EQ(m["html"], "<p>Здравствуйте! <img src=\"cid:logo1\"></p>");
  EXPECT_EQ(m["structure"],
            "multipart/mixed[multipart/related[multipart/alternative[text/html], image/png], application/pdf, text/csv]");
  ASSERT_EQ(m["attachments"].size(), 3u);
  EXPECT_EQ(m["attachments"][0]["content_id"], "logo1");
  EXPECT_EQ(test::ReadFileBytes(m["attachments"][0]["file"].get<std::string>()), test::ReadFileBytes(logo));
  EXPECT_EQ(m["attachments"][1]["filename"], "report.pdf");
  EXPECT_EQ(m["attachments"][2]["filename"], "данные.csv");
  EXPECT_EQ(test::ReadFileBytes(m["attachments"][2]["file"].get<std::string>()), "a;b\r\n1");

  // A send that returns empties every list and deletes the temporary file.
  EXPECT_TRUE(s.Driver().RecepientsArray().IsEmpty());
  EXPECT_TRUE(s.Driver().CcRecepientsArray().IsEmpty());
  EXPECT_TRUE(s.Driver().BccRecepientsArray().IsEmpty());
  EXPECT_TRUE(s.Driver().AttachmentPathsArray().IsEmpty());
  EXPECT_TRUE(DriverFolders().empty());
}

TEST_F(DriverMailTest, ValuesGivenInTheCallMixWithTheListsAndSettingsFillGaps) {
  test::TSmtpServerProcess server;
  TDriverSession s;
  EnableFor(s, server, {{"Subject", Variant(" Уведомление ")}, {"BodyText", Variant("<b>Текст по умолчанию</b>")}});
  const std::string doc = files_.Write("a.txt", "text");
  ASSERT_TRUE(s.Call("AddRecepient", Arr({Variant("listed@example.test")})).Result);  // replaced by the call's array
  ASSERT_TRUE(s.Call("AddCcRecepient", Arr({Variant("cc@example.test")})).Result);     // used: Cc is no array
  SafeArray attachments({ArrayBound{0, 3}, ArrayBound{5, 1}});  // second index from 5: its whole range counts
  attachments.At({0, 5}) = Variant(doc);
  attachments.At({1, 5}) = Variant("image/png");  // a type without an identifier: an ordinary attachment
  const TCallResult r = s.Call("SendMail", Arr({Arr({Variant("given@example.test")}), Variant(), Variant::Null(),
                                                Variant(""), Variant("  "), Variant(attachments)}));
  ASSERT_TRUE(r.Result) << r.Text();
  EXPECT_EQ(server.Envelope(1)["rcpt_tos"], nlohmann::json::array({"given@example.test", "cc@example.test"}));
  const auto m = test::SummarizeMessage(server.WaitForMessage(1), files_.Path() / "out");
  EXPECT_EQ(m["subject"], "Уведомление");
  EXPECT_EQ(m["html"], "<b>Текст по умолчанию</b>");
  ASSERT_EQ(m["attachments"].size(), 1u);
  EXPECT_EQ(m["attachments"][0]["content_type"], "text/plain");
  // The internal lists are emptied even though the call brought its own values.
  EXPECT_TRUE(s.Driver().RecepientsArray().IsEmpty());
  EXPECT_TRUE(s.Driver().CcRecepientsArray().IsEmpty());
}

// An Enable that fails its checks changes nothing: the device stays enabled with the
// sender of the last successful Enable, which still logs in to the old server.
TEST_F(DriverMailTest, AFailedEnableLeavesTheSenderAsItWas) {
  test::TSmtpServerProcess server;
  TDriverSession s;
  EnableFor(s, server);
  ASSERT_TRUE(s.Set({{"SmtpServerName", Variant("192.0.2.1")}, {"SmtpServerUser", Variant("")}}).Result);
  const TCallResult r = s.Call("Enable");
  EXPECT_EQ(r.Code(), 1001);
  EXPECT_EQ(r.Text(), "Не задан SMTP пользователь");
  EXPECT_EQ(s.Driver().DeviceState(), dsEnabled);
  EXPECT_EQ(s.Driver().Device().FSmtpServerName, "localhost");
  EXPECT_EQ(s.Driver().Device().FSmtpServerUser, test::TSmtpServerOptions{}.User);

  const TCallResult sent =
      s.Call("SendMail", Arr({Arr({Variant("to@example.test")}), Variant(), Variant(), Variant("Тема"), Variant("x"), Variant()}));
  ASSERT_TRUE(sent.Result) << sent.Text();
  EXPECT_EQ(server.Envelope(1)["auth_user"], test::TSmtpServerOptions{}.User);
}

TEST_F(DriverMailTest, ARefusedSendKeepsEverythingForAnIdenticalRetry) {
  test::TSmtpServerOptions options;
  options.RefuseFirst = 1;
  test::TSmtpServerProcess server(options);
  TDriverSession s;
  EnableFor(s, server, {{"DebugLogEnabled", Variant(true)}});
  ASSERT_TRUE(s.Call("AddRecepient", Arr({Variant("to@example.test")})).Result);
  ASSERT_TRUE(s.Call("AddBccRecepient", Arr({Variant("bcc@example.test")})).Result);
  ASSERT_TRUE(s.Call("AddAttachmentBase64", Arr({Variant("a.bin"), Variant("AAECAw=="), Variant(""), Variant("")})).Result);
  const Variant mail = Arr({Variant(), Variant(), Variant(), Variant("Повтор"), Variant("<p>x</p>"), Variant()});

  const TCallResult refused = s.Call("SendMail", mail);
  EXPECT_EQ(refused.Code(), 1001);
  EXPECT_NE(refused.Text().find("Try again later"), std::string::npos) << refused.Text();
  EXPECT_EQ(server.MessageCount(), 0);
  EXPECT_EQ(ValueToText(s.Driver().RecepientsArray()), "[('to@example.test')]");
  ASSERT_EQ(DriverFolders().size(), 1u);
  EXPECT_EQ(FilesUnder(DriverFolders()[0]).size(), 1u);
  // DebugLogEnabled switched the event log on: the failure is there.
  EXPECT_NE(test::ReadFileBytes(EventLogFileName()).find("Try again later"), std::string::npos);

  const TCallResult sent = s.Call("SendMail", mail);
  ASSERT_TRUE(sent.Result) << sent.Text();
  EXPECT_EQ(server.Envelope(1)["rcpt_tos"], nlohmann::json::array({"to@example.test", "bcc@example.test"}));
  const auto m = test::SummarizeMessage(server.WaitForMessage(1), files_.Path() / "out");
  ASSERT_EQ(m["attachments"].size(), 1u);
  EXPECT_EQ(test::ReadFileBytes(m["attachments"][0]["file"].get<std::string>()), std::string("\0\1\2\3", 4));
  EXPECT_TRUE(DriverFolders().empty());
}

TEST_F(DriverMailTest, AttachmentsOfTheSameNameKeepTheirOwnContent) {
  test::TSmtpServerProcess server;
  // Two objects of the same device identifier, one of them with two files of one name.
  TDriverSession first, second;
  EnableFor(first, server);
  EnableFor(second, server);
  const auto add = [](TDriverSession& s, const char* base64) {
    ASSERT_TRUE(s.Call("AddAttachmentBase64", Arr({Variant("отчёт.txt"), Variant(base64), Variant(""), Variant("")})).Result);
  };
  add(first, "QUFB");   // AAA
  add(second, "Q0ND");  // CCC
  add(first, "QkJC");   // BBB
  const Variant mail = Arr({Arr({Variant("to@example.test")}), Variant(), Variant(), Variant("S"), Variant("<p>x</p>"), Variant()});
  for (TDriverSession* s : {&first, &second}) {
    const TCallResult r = s->Call("SendMail", mail);
    ASSERT_TRUE(r.Result) << r.Text();
  }
  const std::vector<std::vector<std::string>> expected = {{"AAA", "BBB"}, {"CCC"}};
  for (int n = 1; n <= 2; ++n) {
    const auto m = test::SummarizeMessage(server.WaitForMessage(n), files_.Path() / ("out" + std::to_string(n)));
    ASSERT_EQ(m["attachments"].size(), expected[n - 1].size());
    for (std::size_t i = 0; i < expected[n - 1].size(); ++i) {
      EXPECT_EQ(m["attachments"][i]["filename"], "отчёт.txt");  // the name given, as the recipient sees it
      EXPECT_EQ(test::ReadFileBytes(m["attachments"][i]["file"].get<std::string>()), expected[n - 1][i]);
    }
  }
  EXPECT_TRUE(DriverFolders().empty());
}

TEST_F(DriverMailTest, ADecodedFileThatWasReplacedIsNotSent) {
  test::TSmtpServerProcess server;
  const std::string secret = root_.Write("secret.txt", "TOP SECRET");
  // Whoever could reach the file: a link to another file in its place, or another file
  // under its name.
  const std::vector<std::function<void(const fs::path&)>> swaps = {
      [&](const fs::path& file) {
        fs::remove(file);
        fs::create_symlink(secret, file);
      },
      [&](const fs::path& file) {
        fs::remove(file);
        fs::copy_file(secret, file);
      },
  };
  for (std::size_t i = 0; i < swaps.size(); ++i) {
    SCOPED_TRACE(i);
    TDriverSession s;
    EnableFor(s, server);
    ASSERT_TRUE(s.Call("AddRecepient", Arr({Variant("to@example.test")})).Result);
    ASSERT_TRUE(s.Call("AddAttachmentBase64", Arr({Variant("a.txt"), Variant("QUJD"), Variant(""), Variant("")})).Result);
    const fs::path file = s.Driver().TmpFileList()[0];
    swaps[i](file);
    const TCallResult r =
        s.Call("SendMail", Arr({Variant(), Variant(), Variant(), Variant("S"), Variant("<p>x</p>"), Variant()}));
    EXPECT_EQ(r.Code(), 1001);
    EXPECT_EQ(r.Text(), FormatText(mime_texts::kAttachmentReplaced, {file.string()}));
    EXPECT_EQ(server.MessageCount(), 0);
    s.Release();
    EXPECT_TRUE(DriverFolders().empty());
    EXPECT_EQ(test::ReadFileBytes(secret), "TOP SECRET");  // the file outside is left alone
  }
}

TEST_F(DriverMailTest, InternationalDomainsAndPaddedFieldsArriveThroughAServerWithoutSmtpUtf8) {
  test::TSmtpServerProcess server;
  TDriverSession s;
  const std::string pad(2001, ' ');  // a host padding fixed-width fields
  EnableFor(s, server, {{"UserEmail", Variant("Робот <robot@пример.рф>")}});
  const std::string subject = "Заказ" + pad + "№15";
  const TCallResult r = s.Call("SendMail", Arr({Arr({Variant("\"Иван" + pad + "Петров\" <ivan@ПОЧТА.РФ>")}), Variant(),
                                                Variant(), Variant(subject), Variant("<p>x</p>"), Variant()}));
  ASSERT_TRUE(r.Result) << r.Text();
  EXPECT_EQ(server.Envelope(1)["mail_from"], "robot@xn--e1afmkfd.xn--p1ai");
  EXPECT_EQ(server.Envelope(1)["rcpt_tos"], nlohmann::json::array({"ivan@xn--80a1acny.xn--p1ai"}));
  const auto eml = server.WaitForMessage(1);
  const auto m = test::SummarizeMessage(eml, files_.Path() / "out");
  EXPECT_EQ(m["subject"], subject);
  EXPECT_EQ(m["from"], "Робот <robot@xn--e1afmkfd.xn--p1ai>");
  EXPECT_NE(m["to"].get<std::string>().find("<ivan@xn--80a1acny.xn--p1ai>"), std::string::npos) << m["to"];
  EXPECT_EQ(m["defects"], nlohmann::json::array());
  EXPECT_NE(test::ReadFileBytes(eml).find("@xn--e1afmkfd.xn--p1ai>\r\n"), std::string::npos);  // the Message-ID
}

// With SmtpKeepAlive the sends of one object share a session; each of the host's ways of
// ending the object's work ends it with QUIT, and a wrong value fails Enable.
TEST_F(DriverMailTest, AKeptSessionEndsWithQuitAtDisableCloseReleaseAndASettingsChange) {
  const std::pair<const char*, std::function<void(TDriverSession&)>> endings[] = {
      {"Disable", [](TDriverSession& s) { EXPECT_TRUE(s.Call("Disable").Result); }},
      {"Close", [](TDriverSession& s) { s.Call("Close"); }},
      {"release", [](TDriverSession& s) { s.Release(); }},
      {"settings change", [](TDriverSession& s) { EXPECT_TRUE(s.Set({{"Subject", Variant("Другая")}}).Result); }},
  };
  for (const auto& [name, end] : endings) {
    SCOPED_TRACE(name);
    test::TSmtpServerProcess server;
    TDriverSession s;
    EnableFor(s, server, {{"SmtpKeepAlive", Variant(std::int32_t{30})}});
    for (const char* to : {"first@example.test", "second@example.test"}) {
      const TCallResult r = s.Call("SendMail", Arr({Arr({Variant(to)}), Variant(), Variant(), Variant("Чек"),
                                                    Variant("<p>x</p>"), Variant()}));
      ASSERT_TRUE(r.Result) << r.Text();
    }
    EXPECT_EQ(server.MessageCount(), 2);
    EXPECT_EQ(server.ConnectionCount(), 1);
    EXPECT_EQ(server.QuitCount(), 0);
    end(s);
    EXPECT_EQ(server.QuitCount(), 1);
  }

  TDriverSession s;
  s.Open("DEV1");
  for (const char* wrong : {"-1", "soon"}) {
    ASSERT_TRUE(s.Set({{"SmtpServerUser", Variant("u")}, {"SmtpServerPassword", Variant("p")},
                       {"UserEmail", Variant("r@x")}, {"SmtpKeepAlive", Variant(wrong)}})
                    .Result);
    const TCallResult r = s.Call("Enable");
    EXPECT_EQ(r.Code(), 1001);
    EXPECT_EQ(r.Text(), "Неверное значение настройки SmtpKeepAlive: \"" + std::string(wrong) +
                            "\". Нужно целое число секунд, 0 или больше");
  }
}

}  // namespace
}  // namespace eqd
