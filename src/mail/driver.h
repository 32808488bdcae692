// TDriver: the concrete e-mail driver, the one class the class factory makes. It adds
// the SMTP settings, checks them when the device is enabled and copies them into its
// TDevice sender, fills the device information, and turns a SendMail call into one
// send of TDevice.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "mail/base_email_client.h"
#include "mail/oauth/token_source.h"
#include "mail/security/connection_security.h"
#include "mail/smtp/device_sender.h"

namespace eqd {

// The class identifier (without braces) and the programmatic identifier under which
// the host creates the driver; the device information reports both.
inline constexpr std::string_view kDriverModelID = "5F3208C9-AF02-4EBE-B7D9-2FA8B54F9B29";
inline constexpr std::string_view kDriverProgID = "VxEq.vlmCommon";
// The SMTP server a new driver object points at: a public mail service that accepts
// STARTTLS on port 587.
inline constexpr std::string_view kDefaultSmtpServerName = "smtp.yandex.ru";
inline constexpr std::string_view kDefaultSmtpServerPort = "587";
// The one settings page of the driver's settings window.
inline constexpr std::string_view kMainSettingsPage = "TfrmMainSettings";

// A sender for one connection test and the OAuth 2.0 tokens it signs in with, if any;
// made by TDriver::PrepareConnectionTest. Not moved: the sender points at the tokens.
struct TConnectionProbe {
  TConnectionProbe() = default;
  TConnectionProbe(const TConnectionProbe&) = delete;
  TConnectionProbe& operator=(const TConnectionProbe&) = delete;

  TDevice Device;
  std::optional<oauth::TOAuthTokenSource> Tokens;
};

class TDriver : public TBaseEMailClient {
 public:
  TDriver();
  ~TDriver() override;

  // The sender, holding the settings of the last Enable.
  const TDevice& Device() const { return *FDevice; }
  // How the sender protects the connection and logs in, as the last successful Enable read it.
  const TSmtpSecurityStruct& Security() const { return FDevice->FSecurity; }
  // Where this object's OAuth 2.0 tokens come from, with its cache; none unless the last
  // successful Enable chose "OAuth 2.0".
  oauth::TOAuthTokenSource* TokenSource() const { return FTokenSource.get(); }

  // A dry run: while one is set, SendMail composes its message into `Message` and keeps
  // the envelope in `Envelope` instead of connecting to the server (TDevice::ComposeMail).
  struct TDryRunStruct {
    std::string Message;
    TMailEnvelopeStruct Envelope;
  };
  void SetDryRun(TDryRunStruct* DryRun) { FDryRun = DryRun; }

  // Shows DeviceTestText() in an information box and answers true; no connection is
  // made. What the connection test proved is shown once.
  bool DeviceTest(std::string& ResultDescription) override;
  // "Успешно!", and under it what the last successful connection test proved, if any.
  std::string DeviceTestText() const;
  // Keeps what a successful connection test proved for the next device test; a caller
  // that runs a sender's TestConnection itself hands its report in here.
  void KeepConnectionProof(const TConnectionReportStruct& Report) { FConnectionProof = ConnectionReportText(Report); }

  // The connection test: the current settings, checked as Enable checks them, go into a
  // sender of its own (the sender of the last Enable stays as it is), which connects and
  // runs the dialogue of a send up to and including the login, then QUIT; no message is
  // sent. False with the check's or the failure's own text.
  bool TestConnection(std::string& ResultDescription);
  // The connection test's first half, for a caller that runs the slow second half on
  // another thread: the settings checked as Enable checks them and copied into a new
  // sender (with tokens of its own for "OAuth 2.0"), whose TestConnection then touches
  // nothing of this object. Raises the check that failed.
  std::unique_ptr<TConnectionProbe> PrepareConnectionTest();
  // After the probe's TestConnection succeeded, on the object's thread: keeps what it
  // proved, and the tokens it fetched when this object's OAuth settings are the same.
  void KeepConnectionTest(TConnectionProbe& Probe, const TConnectionReportStruct& Report);

  // Tells `Observer` every line of the SMTP dialogue of later sends and connection tests,
  // besides the event log: a console host shows the dialogue as it happens.
  void SetDialogueObserver(smtp::TSmtpDialogueObserver Observer) { FDevice->DialogueObserver = std::move(Observer); }

 protected:
  void RegisterSettings() override;
  void OnSetDeviceInfo() override;
  std::int32_t OnEnable(std::string& ResultDescription) override;
  // A trace line that went to this user's own file is noted once in the event log.
  void DebugLogRedirected(const std::string& Note) override;
  bool ShowSettings() override;
  void OnCreate() override;
  void OnDestroy() override;
  // Each ends the session kept open for the next send (TDevice::EndSession).
  std::int32_t OnDisable(std::string& ResultDescription) override;
  void OnClose() override;
  void OnSettingsChanged() override;
  std::int32_t DoSendMail(const Variant& To, const Variant& Cc, const Variant& Bcc, const std::string& Subject,
                          const std::string& Body, const Variant& Attachments) override;

 private:
  // The SMTP settings as Enable takes them, into `d` and (for "OAuth 2.0") `oauth`;
  // raises the first check that fails and changes nothing then.
  void ReadSmtpSettings(TDevice& d, oauth::TOAuthSettingsStruct& oauth);
  // SmtpSecurity and SmtpAuthMethod; raises for a text that is neither.
  TSmtpSecurityStruct ReadSecuritySettings() const;

  std::unique_ptr<TDevice> FDevice;
  // What the last successful connection test proved, for the device test to show; the
  // device test takes it.
  std::string FConnectionProof;
  // Kept from one Enable to the next while the OAuth settings stay the same, so its
  // cached token (and a rotated refresh token) outlive a re-enable.
  std::unique_ptr<oauth::TOAuthTokenSource> FTokenSource;
  TDryRunStruct* FDryRun = nullptr;
};

// The port text read as a 32-bit integer: blanks before it and a sign are allowed,
// anything after the digits is not; -1 for a text that is no such integer.
std::int32_t SmtpPortFromText(std::string_view Text);

// "a;b;" from an address array: each element's text followed by ";", Empty and Null
// elements skipped; the empty text for Empty. ERangeError for an array of more than
// one dimension.
std::string JoinAddresses(const Variant& Addresses);

}  // namespace eqd
