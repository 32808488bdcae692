// TDevice: the sender behind the e-mail driver. It holds the SMTP settings the driver
// copies into it when the device is enabled, and SendMail delivers one message in one
// connection of its own: connect, TLS as FSecurity says (by default STARTTLS when
// offered), the login (by default AUTH LOGIN when announced), the envelope, the
// message, QUIT. With FSmtpKeepAlive the session stays open after a send for the next
// one (bulk sending): the connection, its TLS and its login serve many messages.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mail/attachment.h"
#include "mail/mime/file_source.h"
#include "mail/security/connection_report.h"
#include "mail/security/connection_security.h"
#include "mail/smtp/smtp_dialogue.h"
#include "mail/smtp/smtp_time_limits.h"
#include "net/tls_layer.h"

namespace eqd {
namespace oauth {
class TOAuthTokenSource;
}

// The addresses of the SMTP envelope: the MAIL FROM sender and every RCPT TO recipient
// (To, Cc and Bcc, in that order).
struct TMailEnvelopeStruct {
  std::string Sender;
  std::vector<std::string> Recipients;
};

namespace smtp {
class TSmtpConnection;
}

class TDevice {
 public:
  using TClock = std::chrono::steady_clock;

  TDevice();
  // Attachment files are opened through `files` (the disk unless a test says otherwise).
  explicit TDevice(TFileOpener& files);
  // Ends a kept session with QUIT.
  ~TDevice();
  TDevice(TDevice&&) noexcept;

  std::string FSmtpServerUser;      // trimmed; empty: no authentication
  std::string FSmtpServerPassword;  // trimmed
  std::string FSmtpServerName;      // host name or address, trimmed
  std::int32_t FSmtpServerPort = -1;  // only the low 16 bits count; -1: not set
  std::string FUserEmail;           // the sender, optionally with a display name
  std::string FSubject;             // default subject (read by the driver, not here)
  std::string FBodyText;            // default body (read by the driver, not here)
  TSmtpSecurityStruct FSecurity;    // how the connection is protected and the login made
  // With "OAuth 2.0": the driver object's token source (it outlives the sender's use).
  oauth::TOAuthTokenSource* TokenSource = nullptr;
  smtp::TSmtpTimeLimitsStruct TimeLimits;  // how long to wait for the server (tests shorten it)
  // Seconds a session stays open after a successful send for the next SendMail; 0: QUIT
  // after every send, the dialogue as it always was.
  std::int32_t FSmtpKeepAlive = 0;
  // The clock of the idle time (tests turn it by hand).
  std::function<TClock::time_point()> Clock = TClock::now;
  // Told every line of each dialogue as it passes, besides the event log (a console host
  // shows them); masked as the event log is.
  smtp::TSmtpDialogueObserver DialogueObserver;

  // Composes the message and delivers it. The recipient texts are address lists ("," or
  // ";" between entries). Returns when the server accepted the message.
  //
  // With the event log on, the dialogue goes into it as DEBUG lines named "TDevice", one
  // per reply line and command (smtp_dialogue.h), and a delivered message adds an INFO
  // line with the count of recipients and the server's reply to the message. These
  // lines never change the outcome: a log that cannot be written loses them.
  //
  // A server that announces SIZE gets the message's exact size with MAIL FROM, and one
  // that announces a limit smaller than the message gets no MAIL FROM: the send fails
  // with a text naming both sizes. An address with a local part outside ASCII goes out
  // with SMTPUTF8 to a server that announces it; any other server gets no MAIL FROM and
  // the send fails with a text saying so.
  //
  // With FSmtpKeepAlive above 0 the session is not ended after a successful send: the
  // next SendMail within that many seconds sends on it, with no new connection, TLS
  // handshake, EHLO or login, and to a server that announces PIPELINING the envelope
  // goes out with DATA in one write (two round trips a message). A kept session that the
  // server closed or that fails before MAIL FROM of the new message was accepted is
  // replaced by a new connection once, with an INFO line in the event log: the server
  // had not taken the message, so nobody gets it twice. A failure after that fails the
  // send as usual, and any failure ends the session. An idle session is ended with QUIT
  // by the first SendMail after its time, by EndSession, or when the object goes.
  //
  // Input that cannot be sent (a bad address, no recipient, no sender) is refused before
  // any connection, with the composer's own error. Any later failure is written to the
  // event log as an ERROR line named "TDevice" and raised as a plain error with the
  // failure's message: the explanation of the step that failed and its cause
  // (failure_explanation.h), then the server's reply text or the network failure; or
  // the attachment file's error. The connection and its TLS layer are closed before
  // SendMail returns or raises. A login over a connection without TLS writes a WARN
  // line first.
  void SendMail(const std::string& ARecepients, const std::string& ACcRecepients,
                const std::string& ABccRecepients, const std::string& ASubject, const std::string& ABodyText,
                const std::vector<TAttachment>& AAttachmentPathsArray);

  // A dry run of SendMail: composes the message SendMail would deliver, with the same
  // composer, and appends it to `out` as the server would store it; connects nowhere.
  // Refuses the same input with the same errors. Returns the envelope.
  TMailEnvelopeStruct ComposeMail(const std::string& ARecepients, const std::string& ACcRecepients,
                                  const std::string& ABccRecepients, const std::string& ASubject,
                                  const std::string& ABodyText, const std::vector<TAttachment>& AAttachmentPathsArray,
                                  std::string& out);

  // Connects and runs the dialogue of a send up to and including the login, then QUIT:
  // no message is sent. Returns what was proved (the TLS session, the certificate check,
  // the login); fails as SendMail fails once connecting, with the same texts and the
  // same event log lines.
  TConnectionReportStruct TestConnection();

  // QUIT on the session kept open for the next send, if there is one; never raises. The
  // driver calls it when it is disabled, closed or released and when its settings change.
  void EndSession() noexcept;
  // Whether a session is kept open for the next send.
  bool SessionKept() const { return kept_ != nullptr; }

  // The port SendMail connects to: the low 16 bits of FSmtpServerPort; in "Авто" 465
  // (the implicit-TLS port) is replaced by 25, since that connection starts in plain text.
  std::uint16_t ConnectPort() const;
  // What TLS demands: in "Авто" TLS 1.0 to 1.2, in every other mode TLS 1.2 and 1.3; the
  // server name as SNI; the pinned key when there is one, else the system's check when
  // FSecurity asks for it, else none.
  net::TTlsPolicyStruct TlsPolicy() const;

 private:
  // An open SMTP session: the connection, its TLS layer and its login.
  struct TSession;

  // Connects, opens the SMTP connection and logs in.
  std::unique_ptr<TSession> OpenSession();
  // The kept session, when it is still within its idle time and the server has not
  // spoken since (which only a server that is going does); ends any other.
  std::unique_ptr<TSession> TakeKeptSession();
  // Runs `work`, turning any failure into the event log line and the plain error the
  // host sees.
  void RunReported(const std::function<void()>& work);

  TFileOpener* files_ = nullptr;
  std::unique_ptr<TSession> kept_;
};

}  // namespace eqd
