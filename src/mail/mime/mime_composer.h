// The MIME message of one send, produced piece by piece.
//
// The composer is a pure producer: it writes nothing itself and keeps no file open longer
// than the part that sends it. The caller pulls the message with Next() and passes each
// piece on; attachment files are read in chunks as their parts are reached, so the memory
// of a send does not grow with the size of the attachments. The clock and the boundary
// generator are parameters, so that whole messages can be compared with a golden text.
//
// Shape of the message:
//   multipart/mixed (charset windows-1251, 8bit; the body text as its preamble)
//     multipart/related; type="multipart/alternative"
//       multipart/alternative
//         text/html; charset="windows-1251", quoted-printable, inline: the body text
//       inline attachments (content type and Content-ID as given), Base64
//     ordinary attachments (content type from the extension), Base64
// Header fields, in this order: From, Subject, To, Cc, Content-Type, MIME-Version,
// Content-Transfer-Encoding, Reply-To, Date, Message-ID, Priority, X-Priority,
// Importance. Bcc never appears. Lines end with CR LF.
//
// Dot transparency is not applied here: the message is what the server stores, and the
// extra dots belong to the DATA transmission. The SMTP session runs every piece through
// TDotStuffingFilter (mail/codecs/dot_stuffing.h) and writes the end-of-data mark itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mail/codecs/base64.h"
#include "mail/codecs/quoted_printable.h"
#include "mail/mime/file_source.h"
#include "mail/mime/mail_message.h"
#include "platform/clock.h"

namespace eqd {

// A new boundary string for each call. Boundaries must be distinct and may not contain
// each other; the composer also makes sure none occurs in the body text.
using TBoundaryGenerator = std::function<std::string()>;
// The moment of sending, read once when the header is produced.
using TMessageClock = std::function<platform::ZonedTime()>;
// The part of the Message-ID before "@", unique to the message; the part after it is the
// domain of the sender's address.
using TMessageIdGenerator = std::function<std::string()>;

// "=_eqd" and 24 random hex digits: "=_" cannot occur in Base64 or quoted-printable text.
std::string RandomBoundary();

// 32 hex digits of 128 random bits from the system's random source: no two messages of
// any machine share one.
std::string RandomMessageId();

// The domain of a Message-ID made for a message from this sender: the domain of the
// address when it is a domain name or an address literal, else "localhost".
std::string MessageIdDomain(const std::string& senderAddress);

// The RFC 5322 date: "Tue, 5 Mar 2024 09:05:03 +0300".
std::string FormatMessageDate(const platform::ZonedTime& time);

class TMimeComposer {
 public:
  // Bytes of a file read by one Next(): 1024 lines of Base64.
  static constexpr std::size_t kFileChunk = 57 * 1024;

  // `message` is copied; `files` must outlive the composer.
  TMimeComposer(const TMailMessageStruct& message, TFileOpener& files,
                TMessageClock clock = platform::NowZoned, TBoundaryGenerator boundaries = RandomBoundary,
                TMessageIdGenerator messageIds = RandomMessageId);
  ~TMimeComposer();
  TMimeComposer(const TMimeComposer&) = delete;
  TMimeComposer& operator=(const TMimeComposer&) = delete;

  // Appends the next piece of the message (up to about 80 KB) to `out` and returns true;
  // returns false, appending nothing, once the message is complete. The caller empties
  // `out` between calls as it likes. Raises EInOutError when an attachment file cannot be
  // opened or read; the message is then incomplete and must not be delivered.
  bool Next(std::string& out);

  // The exact size in octets of the message Next() produces (dot transparency not
  // counted: what the server stores), as SIZE= of MAIL FROM wants it (RFC 1870); call it
  // before the first Next(). It costs no second message in memory: the header is made
  // (reading the clock) and kept for Next(), the body is run through its encoder once
  // more without keeping the result, and each attachment's size comes from its file
  // (Base64 arithmetic). Raises EInOutError when an attachment cannot be opened. An
  // attachment whose size has changed when Next() reaches it fails the send with
  // EInOutError, so the message sent is never other than the size said.
  std::uint64_t Size();

 private:
  enum TStepKind { skHeader, skText, skBody, skFile };
  struct TStep {
    TStepKind Kind;
    std::string Text;  // skText: the text; skFile: the path
    // skFile: the size Size() counted on, and the bytes read so far.
    std::optional<std::uint64_t> Expected = std::nullopt;
    std::uint64_t Read = 0;
  };

  const std::string& HeaderText();
  bool NextFromFile(TStep& step, std::string& out);

  TMailMessageStruct message_;
  TFileOpener& files_;
  TMessageClock clock_;
  TMessageIdGenerator messageIds_;
  std::string header_;  // made once, by Size() or the first Next()
  std::string mixedBoundary_;
  std::string body1251_;  // the HTML body in windows-1251
  std::vector<TStep> steps_;
  std::size_t step_ = 0;
  std::size_t bodyOffset_ = 0;
  TQuotedPrintableEncoder quotedPrintable_;
  TBase64Encoder base64_;
  std::unique_ptr<TFileReader> file_;
  std::string fileBuffer_;
};

// The whole message at once, for tests and small messages.
std::string ComposeMessage(const TMailMessageStruct& message, TFileOpener& files,
                           TMessageClock clock = platform::NowZoned,
                           TBoundaryGenerator boundaries = RandomBoundary,
                           TMessageIdGenerator messageIds = RandomMessageId);

}  // namespace eqd
