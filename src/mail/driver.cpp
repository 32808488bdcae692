#include "mail/driver.h"

#include <charconv>
#include <optional>
#include <span>

#include "automation/errors.h"
#include "automation/result_codes.h"
#include "automation/variant_convert.h"
#include "device/settings_window.h"
#include "mail/email_client_texts.h"
#include "mail/event_log.h"
#include "mail/oauth/oauth_settings.h"
#include "mail/oauth/oauth_texts.h"
#include "mail/mime/text_format.h"
#include "mail/security/security_texts.h"
#include "platform/info_box.h"

namespace eqd {

namespace texts = email_client_texts;

std::int32_t SmtpPortFromText(std::string_view Text) {
  std::size_t i = 0;
  while (i < Text.size() && (Text[i] == ' ' || Text[i] == '\t')) ++i;
  Text.remove_prefix(i);
  bool negative = false;
  if (!Text.empty() && (Text[0] == '+' || Text[0] == '-')) {
    negative = Text[0] == '-';
    Text.remove_prefix(1);
  }
  if (Text.empty() || Text[0] < '0' || Text[0] > '9') return -1;
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
  if (ec != std::errc() || end != Text.data() + Text.size()) return -1;
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return -1;
  return static_cast<std::int32_t>(value);
}

std::string JoinAddresses(const Variant& Addresses) {
  const Variant& value = Addresses.Deref();
  std::string joined;
  if (value.IsEmpty() || !value.IsArray() || value.ArrayValue() == nullptr) return joined;
  const SafeArray& a = *value.ArrayValue();
  if (a.DimCount() != 1) throw ERangeError(texts::kAddressArrayShape);
  for (const Variant& item : a.Elements()) {
    if (item.Deref().IsEmptyOrNull()) continue;
    joined += VarToStr(item);  // numbers come as their text
    joined += ';';
  }
  return joined;
}

TDriver::TDriver() = default;
TDriver::~TDriver() = default;

void TDriver::OnCreate() {
  TBaseEMailClient::OnCreate();
  FDevice = std::make_unique<TDevice>(AttachmentFiles());
}

void TDriver::OnDestroy() {
  TBaseEMailClient::OnDestroy();
  FDevice.reset();
}

std::int32_t TDriver::OnDisable(std::string& ResultDescription) {
  if (FDevice) FDevice->EndSession();
  return TBaseEMailClient::OnDisable(ResultDescription);
}

void TDriver::OnClose() {
  TBaseEMailClient::OnClose();
  if (FDevice) FDevice->EndSession();
}

void TDriver::OnSettingsChanged() {
  TBaseEMailClient::OnSettingsChanged();
  if (FDevice) FDevice->EndSession();
}

void TDriver::RegisterSettings() {
  TBaseEMailClient::RegisterSettings();
  const auto add = [this](std::string_view id, std::string_view value, const char* name) {
    AddSetting(id, dtString, Variant(value), false, name, name);
  };
  add("SmtpServerName", kDefaultSmtpServerName, texts::kSmtpServerName);
  add("SmtpServerPort", kDefaultSmtpServerPort, texts::kSmtpServerPort);
  add("SmtpServerUser", "", texts::kSmtpServerUser);
  add("SmtpServerPassword", "", texts::kSmtpServerPassword);
  SetSettingSecret("SmtpServerPassword");
  add("UserEmail", "", texts::kUserEmail);
  add("Subject", "", texts::kSubject);
  add("BodyText", "", texts::kBodyText);
  // Connection security, after the settings hosts have stored for years. Each of these
  // has a description of its own that names the values it takes.
  AddSetting("SmtpSecurity", dtString, Variant(SmtpSecurityText(TSmtpSecurity::ssAuto)), false,
             texts::kSmtpSecurityName, texts::kSmtpSecurityDescription);
  AddSetting("SmtpAuthMethod", dtString, Variant(SmtpAuthMethodInfo(TSmtpAuthMethod::amAuto).Text), false,
             texts::kSmtpAuthMethodName, texts::kSmtpAuthMethodDescription);
  AddSetting("SmtpVerifyCertificate", dtBoolean, Variant(false), false, texts::kSmtpVerifyCertificateName,
             texts::kSmtpVerifyCertificateDescription);
  AddSetting("SmtpCertificatePin", dtString, Variant(""), false, texts::kSmtpCertificatePinName,
             texts::kSmtpCertificatePinDescription);
  // OAuth 2.0 sign-in (SmtpAuthMethod "OAuth 2.0"); the secrets are masked like the password.
  for (const auto& setting : oauth::texts::kSettings) {
    AddSetting(setting.ID, dtString, Variant(""), false, setting.Name, setting.Description);
    if (setting.Secret) SetSettingSecret(setting.ID);
  }
  AddSetting("SmtpKeepAlive", dtNumber, Variant(std::int32_t{0}), false, texts::kSmtpKeepAliveName,
             texts::kSmtpKeepAliveDescription);
}

void TDriver::OnSetDeviceInfo() {
  TBaseEMailClient::OnSetDeviceInfo();
  FDeviceInfo.ModelID = kDriverModelID;
  FDeviceInfo.ModelName = texts::kModelName;
  FDeviceInfo.ProcessorName = kDriverProgID;
  // The settings window exists where the user-interface layer has registered it (the
  // Windows DLL); a build without a desktop has none, and "ShowSettingsDlg" says so.
  FDeviceInfo.IsSettingsDlgExist = static_cast<bool>(SettingsWindowFactory());
  FDeviceInfo.Description = texts::kDescription;
}

std::int32_t TDriver::OnEnable(std::string& ResultDescription) {
  ResultDescription.clear();
  (void)TBaseEMailClient::OnEnable(ResultDescription);
  ResultDescription.clear();
  try {
    // The filter is process-wide: the last driver object enabled decides it.
    SetEventLogMode(GetSettingValueBool("DebugLogEnabled") ? kEventLogAll : kEventLogOff);
    // Every value is read and checked before any reaches the sender: a failed Enable
    // leaves it as the last successful one set it.
    std::string subject = GetSettingValueStr("Subject");
    std::string body = GetSettingValueStr("BodyText");
    // A session kept open belongs to the settings it was opened with.
    FDevice->EndSession();
    oauth::TOAuthSettingsStruct oauthSettings;
    ReadSmtpSettings(*FDevice, oauthSettings);
    if (FDevice->FSecurity.AuthMethod != TSmtpAuthMethod::amOAuth2)
      FTokenSource.reset();
    else if (!FTokenSource || FTokenSource->Settings() != oauthSettings)
      FTokenSource = std::make_unique<oauth::TOAuthTokenSource>(std::move(oauthSettings));
    FDevice->TokenSource = FTokenSource.get();
    FDevice->FSubject = std::move(subject);
    FDevice->FBodyText = std::move(body);
    return rcOk;
  } catch (const std::exception& e) {
    ResultDescription = e.what();
    return rcUnknownError;
  }
}

void TDriver::DebugLogRedirected(const std::string& Note) { NoteLogRedirect(Note); }

namespace {

template <typename TOption>
std::string ChoiceList(std::span<const TOption> options) {
  std::string list;
  for (const TOption& option : options) {
    if (!list.empty()) list += ", ";
    list += option.Text;
  }
  return list;
}

template <typename TValue, typename TOption>
TValue ReadChoice(std::string_view id, const std::string& text, std::optional<TValue> value,
                  std::span<const TOption> options) {
  if (!value) throw EDriverError(FormatText(security_texts::kBadChoice, {id, text, ChoiceList(options)}));
  return *value;
}

}  // namespace

TSmtpSecurityStruct TDriver::ReadSecuritySettings() const {
  TSmtpSecurityStruct security;
  const std::string mode = GetSettingValueStr("SmtpSecurity");
  security.Security = ReadChoice("SmtpSecurity", mode, SmtpSecurityFromText(mode), SmtpSecurityOptions());
  const std::string method = GetSettingValueStr("SmtpAuthMethod");
  security.AuthMethod = ReadChoice("SmtpAuthMethod", method, SmtpAuthMethodFromText(method), SmtpAuthMethods());
  return security;
}

void TDriver::ReadSmtpSettings(TDevice& d, oauth::TOAuthSettingsStruct& oauthSettings) {
  // All read and checked first; the sender gets them only when every check holds.
  std::string server = TrimBlanks(GetSettingValueStr("SmtpServerName"));
  const std::int32_t port = SmtpPortFromText(GetSettingValueStr("SmtpServerPort"));
  std::string user = TrimBlanks(GetSettingValueStr("SmtpServerUser"));
  std::string password = TrimBlanks(GetSettingValueStr("SmtpServerPassword"));
  std::string userEmail = TrimBlanks(GetSettingValueStr("UserEmail"));
  if (server.empty()) throw EDriverError(texts::kNoSmtpServer);
  if (port == -1) throw EDriverError(texts::kNoSmtpPort);
  // The way of logging in decides whether a user and a password are needed.
  TSmtpSecurityStruct security = ReadSecuritySettings();
  const bool needsUser = SmtpAuthMethodInfo(security.AuthMethod).NeedsUser;
  const bool needsPassword = SmtpAuthMethodInfo(security.AuthMethod).NeedsPassword;
  if (needsUser && user.empty()) throw EDriverError(texts::kNoSmtpUser);
  if (needsPassword && password.empty()) throw EDriverError(texts::kNoSmtpPassword);
  if (userEmail.empty()) throw EDriverError(texts::kNoUserEmail);
  try {
    security.VerifyCertificate = GetSettingValueBool("SmtpVerifyCertificate");
  } catch (const EConvertError&) {
    throw EDriverError(FormatText(security_texts::kBadChoice, {"SmtpVerifyCertificate",
                                                               GetSettingValueStr("SmtpVerifyCertificate"),
                                                               security_texts::kBooleanChoices}));
  }
  security.PinnedKey = ParseCertificatePin(GetSettingValueStr("SmtpCertificatePin"));
  std::int32_t keepAlive = -1;
  try {
    keepAlive = GetSettingValueInt("SmtpKeepAlive");
  } catch (const EConvertError&) {
  }
  if (keepAlive < 0) throw EDriverError(FormatText(texts::kBadKeepAlive, {GetSettingValueStr("SmtpKeepAlive")}));
  oauth::TOAuthSettingsStruct oauth;
  if (security.AuthMethod == TSmtpAuthMethod::amOAuth2) {
    oauth = oauth::ReadOAuthSettings([this](std::string_view id) { return TrimBlanks(GetSettingValueStr(id)); });
    if (const std::string problem = oauth::CheckOAuthSettings(oauth); !problem.empty()) throw EDriverError(problem);
  }
  // Without a login nothing identifies the user to the server.
  if (!needsUser) {
    user.clear();
    password.clear();
  }
  d.FSmtpServerName = std::move(server);
  d.FSmtpServerPort = port;
  d.FSmtpServerUser = std::move(user);
  d.FSmtpServerPassword = std::move(password);
  d.FUserEmail = std::move(userEmail);
  d.FSecurity = security;
  d.FSmtpKeepAlive = keepAlive;
  oauthSettings = std::move(oauth);
}

std::unique_ptr<TConnectionProbe> TDriver::PrepareConnectionTest() {
  auto probe = std::make_unique<TConnectionProbe>();
  oauth::TOAuthSettingsStruct oauthSettings;
  ReadSmtpSettings(probe->Device, oauthSettings);
  probe->Device.DialogueObserver = FDevice->DialogueObserver;
  // The test signs in as a send would: with a copy of this object's tokens (its cached
  // token, a rotated refresh token) while the settings are the same, else from scratch.
  if (probe->Device.FSecurity.AuthMethod == TSmtpAuthMethod::amOAuth2) {
    if (FTokenSource && FTokenSource->Settings() == oauthSettings)
      probe->Tokens.emplace(*FTokenSource);
    else
      probe->Tokens.emplace(std::move(oauthSettings));
    probe->Device.TokenSource = &*probe->Tokens;
  }
  return probe;
}

void TDriver::KeepConnectionTest(TConnectionProbe& Probe, const TConnectionReportStruct& Report) {
  KeepConnectionProof(Report);
  // The tokens the test fetched serve the next send, when they are for the same settings.
  if (FTokenSource && Probe.Tokens && FTokenSource->Settings() == Probe.Tokens->Settings()) {
    *FTokenSource = std::move(*Probe.Tokens);
    Probe.Tokens.reset();
    Probe.Device.TokenSource = nullptr;
  }
}

bool TDriver::TestConnection(std::string& ResultDescription) {
  ResultDescription.clear();
  FConnectionProof.clear();
  try {
    const std::unique_ptr<TConnectionProbe> probe = PrepareConnectionTest();
    const TConnectionReportStruct report = probe->Device.TestConnection();
    KeepConnectionTest(*probe, report);
    return true;
  } catch (const std::exception& e) {
    ResultDescription = ErrorMessage(e);
    return false;
  }
}

bool TDriver::ShowSettings() { return ShowSettingsForm({std::string(kMainSettingsPage)}, false); }

std::string TDriver::DeviceTestText() const {
  std::string text = texts::kDeviceTestText;
  if (!FConnectionProof.empty()) text += "\r\n\r\n" + FConnectionProof;
  return text;
}

bool TDriver::DeviceTest(std::string& ResultDescription) {
  ResultDescription.clear();
  try {
    const std::string text = DeviceTestText();
    FConnectionProof.clear();
    platform::ShowInformationBox(text, texts::kDeviceTestCaption);
    return true;
  } catch (const std::exception& e) {
    ResultDescription = e.what();
    return false;
  }
}

std::int32_t TDriver::DoSendMail(const Variant& To, const Variant& Cc, const Variant& Bcc, const std::string& Subject,
                                 const std::string& Body, const Variant& Attachments) {
  const TDevice& d = *FDevice;
  std::string subject = TrimBlanks(Subject);
  if (subject.empty()) subject = TrimBlanks(d.FSubject);
  if (subject.empty()) throw EDriverError(texts::kEmptySubject);
  std::string body = TrimBlanks(Body);
  if (body.empty()) body = TrimBlanks(d.FBodyText);

  const std::string to = JoinAddresses(To);
  const std::string cc = JoinAddresses(Cc);
  const std::string bcc = JoinAddresses(Bcc);

  std::vector<TAttachment> attachments;
  if (const Variant& a = Attachments.Deref(); !a.IsEmpty()) {
    if (!a.IsArray() || a.ArrayValue() == nullptr) throw ERangeError(texts::kAttachmentArrayShape);
    const SafeArray& arr = *a.ArrayValue();
    if (arr.DimCount() != 2) throw ERangeError(texts::kAttachmentArrayShape);
    for (std::int64_t i = arr.LowBound(1); i <= arr.HighBound(1); ++i)
      attachments.push_back({VarToStr(arr.At({0, i})), VarToStr(arr.At({1, i})), VarToStr(arr.At({2, i}))});
  }
  CheckAttachmentFiles(attachments);
  if (FDryRun != nullptr)
    FDryRun->Envelope = FDevice->ComposeMail(to, cc, bcc, subject, body, attachments, FDryRun->Message);
  else
    FDevice->SendMail(to, cc, bcc, subject, body, attachments);
  return rcOk;
}

}  // namespace eqd
