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
// Content-Transfer-Encoding, Reply-To, Date, Priority, X-Priority, Importance. Bcc never
// appears. Lines end with CR LF.
//
// Dot transparency is not applied here: the message is what the server stores, and the
// extra dots belong to the DATA transmission. The SMTP session runs every piece through
// TDotStuffingFilter (mail/codecs/dot_stuffing.h) and writes the end-of-data mark itself.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
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

// "=_eqd" and 24 random hex digits: "=_" cannot occur in Base64 or quoted-printable text.
std::string RandomBoundary();

// The RFC 5322 date: "Tue, 5 Mar 2024 09:05:03 +0300".
std::string FormatMessageDate(const platform::ZonedTime& time);

class TMimeComposer {
 public:
  // Bytes of a file read by one Next(): 1024 lines of Base64.
  static constexpr std::size_t kFileChunk = 57 * 1024;

  // `message` is copied; `files` must outlive the composer.
  TMimeComposer(const TMailMessageStruct& message, TFileOpener& files,
                TMessageClock clock = platform::NowZoned, TBoundaryGenerator boundaries = RandomBoundary);
  ~TMimeComposer();
  TMimeComposer(const TMimeComposer&) = delete;
  TMimeComposer& operator=(const TMimeComposer&) = delete;

  // Appends the next piece of the message (up to about 80 KB) to `out` and returns true;
  // returns false, appending nothing, once the message is complete. The caller empties
  // `out` between calls as it likes. Raises EInOutError when an attachment file cannot be
  // opened or read; the message is then incomplete and must not be delivered.
  bool Next(std::string& out);

 private:
  enum TStepKind { skHeader, skText, skBody, skFile };
  struct TStep {
    TStepKind Kind;
    std::string Text;  // skText: the text; skFile: the path
  };

  std::string HeaderText();
  bool NextFromFile(const std::string& path, std::string& out);

  TMailMessageStruct message_;
  TFileOpener& files_;
  TMessageClock clock_;
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
                           TBoundaryGenerator boundaries = RandomBoundary);

}  // namespace eqd
