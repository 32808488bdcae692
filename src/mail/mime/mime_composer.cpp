#include "mail/mime/mime_composer.h"

#include <cstdio>
#include <cstring>
#include <random>

#include "automation/errors.h"
#include "platform/utf8.h"
#include "automation/windows1251.h"
#include "mail/codecs/encoded_word.h"
#include "mail/codecs/extended_parameter.h"
#include "mail/mime/content_types.h"
#include "mail/mime/mime_texts.h"
#include "mail/mime/text_format.h"

namespace eqd {
namespace {

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kEmptyBodyPreamble = "This is a multi-part message in MIME format";
// The longest line a server must accept, CR LF not counted.
constexpr std::size_t kMaxLine = 998;
// Body text turned into quoted-printable per Next().
constexpr std::size_t kBodyChunk = 24 * 1024;

// 0 = Sunday, for a date of the Gregorian calendar.
int Weekday(int year, int month, int day) {
  static constexpr int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + kOffsets[(month - 1) % 12] + day) % 7;
}

std::string JoinMailboxes(const std::vector<TMailAddressStruct>& list) {
  std::string out;
  for (const TMailAddressStruct& a : list) {
    if (!out.empty()) out += ", ";
    out += FormatMailbox(a);
  }
  return out;
}

// A parameter value in quotes, or as encoded words when it holds more than ASCII.
std::string QuotedParameter(std::string_view text) {
  if (NeedsEncoding(text)) return '"' + EncodeWords(text) + '"';
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

// The last component of the path; both separators count, as the host's paths are Windows'.
std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return OneHeaderLine(slash == std::string::npos ? path : path.substr(slash + 1));
}

// The preamble: an empty line, the body in windows-1251 line by line, an empty line (the
// delimiter that follows brings its own CR LF). Lines longer than a server must take are
// broken; NUL, which 8bit text may not hold, becomes a blank. Readers that know MIME skip
// the preamble, so neither changes what they show.
std::string Preamble(const std::string& body1251) {
  if (body1251.empty()) return kEmptyBodyPreamble;
  std::string out = "\r\n";
  std::size_t column = 0;
  for (std::size_t i = 0; i < body1251.size(); ++i) {
    const char c = body1251[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < body1251.size() && body1251[i + 1] == '\n') ++i;
      out += "\r\n";
      column = 0;
      continue;
    }
    if (column == kMaxLine) {
      out += "\r\n";
      column = 0;
    }
    out += c == '\0' ? ' ' : c;
    ++column;
  }
  if (column > 0) out += "\r\n";
  return out;
}

std::string AttachmentHeaders(const TAttachment& a, bool isInline) {
  const std::string name = FileNameOf(a.FilePath);
  const std::string type = isInline ? a.ContentType : ContentTypeOfFileName(name);
  const std::string quotedName = QuotedParameter(name);
  std::string out = FoldHeaderField("Content-Type", type + "; name=" + quotedName);
  out += "Content-Transfer-Encoding: base64\r\n";
  // A name beyond ASCII also goes in the form of RFC 2231, first: the readers that know
  // it take it and get every character, those that do not take the encoded words.
  std::string disposition = "attachment; ";
  if (NeedsEncoding(name) && platform::IsWellFormedUtf8(name)) disposition += ExtendedParameter("filename", name) + "; ";
  out += FoldHeaderField("Content-Disposition", disposition + "filename=" + quotedName);
  if (isInline) out += FoldHeaderField("Content-ID", a.ContentID);
  out += "\r\n";
  return out;
}

// The length of the Base64 text of `bytes` bytes in lines of kMimeLineLength characters
// joined by CR LF, as TBase64Encoder writes it.
std::uint64_t Base64Length(std::uint64_t bytes) {
  const std::uint64_t chars = (bytes + 2) / 3 * 4;
  return chars == 0 ? 0 : chars + 2 * ((chars - 1) / TBase64Encoder::kMimeLineLength);
}

// An id-right of RFC 5322: a dot-atom-text or a literal in square brackets.
bool IsMessageIdDomain(std::string_view domain) {
  if (domain.empty()) return false;
  if (domain.front() == '[') {
    if (domain.size() < 2 || domain.back() != ']') return false;
    for (const char c : domain.substr(1, domain.size() - 2))
      if (c < 33 || c > 126 || c == '[' || c == ']' || c == '\\') return false;
    return true;
  }
  if (domain.front() == '.' || domain.back() == '.' || domain.find("..") != std::string_view::npos) return false;
  for (const char c : domain) {
    const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && (c == '\0' || std::strchr("!#$%&'*+-/=?^_`{|}~.", c) == nullptr)) return false;
  }
  return true;
}

}  // namespace

std::string RandomBoundary() {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  char text[32];
  std::snprintf(text, sizeof text, "=_eqd%08llx%016llx",
                static_cast<unsigned long long>(random() & 0xFFFFFFFFu),
                static_cast<unsigned long long>(random()));
  return text;
}

std::string RandomMessageId() {
  std::random_device random;
  char text[40];
  std::snprintf(text, sizeof text, "%08x%08x%08x%08x", random(), random(), random(), random());
  return text;
}

std::string MessageIdDomain(const std::string& senderAddress) {
  const std::size_t at = senderAddress.rfind('@');
  if (at != std::string::npos && IsMessageIdDomain(std::string_view(senderAddress).substr(at + 1)))
    return senderAddress.substr(at + 1);
  return "localhost";
}

std::string FormatMessageDate(const platform::ZonedTime& time) {
  const platform::LocalTime& t = time.Local;
  const int offset = time.UtcOffsetMinutes;
  const int absOffset = offset < 0 ? -offset : offset;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%02d%02d",
                kWeekdays[Weekday(t.Year, t.Month, t.Day)], t.Day, kMonths[(t.Month + 11) % 12], t.Year,
                t.Hour, t.Minute, t.Second, offset < 0 ? '-' : '+', absOffset / 60, absOffset % 60);
  return text;
}

TMimeComposer::TMimeComposer(const TMailMessageStruct& message, TFileOpener& files, TMessageClock clock,
                             TBoundaryGenerator boundaries, TMessageIdGenerator messageIds)
    : message_(message),
      files_(files),
      clock_(std::move(clock)),
      messageIds_(std::move(messageIds)),
      body1251_(Utf8ToWindows1251(message.BodyText)),
      base64_(TBase64Encoder::kMimeLineLength) {
  // Three boundaries that neither occur in the body (the preamble holds it raw) nor in
  // each other; a generator that keeps repeating itself gets a numbered suffix.
  std::vector<std::string> chosen;
  for (int level = 0; level < 3; ++level) {
    for (int attempt = 0;; ++attempt) {
      std::string b = boundaries();
      if (attempt >= 8) {
        b += '_';
        b += std::to_string(level);
        b += '_';
        b += std::to_string(attempt);
      }
      bool clash = b.empty() || body1251_.find(b) != std::string::npos;
      for (const std::string& other : chosen)
        clash = clash || other.find(b) != std::string::npos || b.find(other) != std::string::npos;
      if (!clash) {
        chosen.push_back(std::move(b));
        break;
      }
    }
  }
  mixedBoundary_ = chosen[0];
  const std::string& related = chosen[1];
  const std::string& alternative = chosen[2];

  std::string text = Preamble(body1251_);
  text += "\r\n--" + mixedBoundary_ + "\r\n";
  text += FoldHeaderField("Content-Type",
                          "multipart/related; type=\"multipart/alternative\"; boundary=\"" + related + '"');
  text += "\r\n--" + related + "\r\n";
  text += FoldHeaderField("Content-Type", "multipart/alternative; boundary=\"" + alternative + '"');
  text += "\r\n--" + alternative + "\r\n";
  text += "Content-Type: text/html; charset=\"windows-1251\"\r\n";
  text += "Content-Transfer-Encoding: quoted-printable\r\n";
  text += "Content-Disposition: inline\r\n\r\n";
  steps_.push_back({skHeader, {}});
  steps_.push_back({skText, std::move(text)});
  steps_.push_back({skBody, {}});

  text = "\r\n--" + alternative + "--\r\n";
  for (const TAttachment& a : message_.Attachments) {
    if (!a.IsInline()) continue;
    text += "\r\n--" + related + "\r\n" + AttachmentHeaders(a, true);
    steps_.push_back({skText, std::move(text)});
    steps_.push_back({skFile, a.FilePath});
    text.clear();
  }
  text += "\r\n--" + related + "--\r\n";
  for (const TAttachment& a : message_.Attachments) {
    if (a.IsInline()) continue;
    text += "\r\n--" + mixedBoundary_ + "\r\n" + AttachmentHeaders(a, false);
    steps_.push_back({skText, std::move(text)});
    steps_.push_back({skFile, a.FilePath});
    text.clear();
  }
  text += "\r\n--" + mixedBoundary_ + "--\r\n";
  steps_.push_back({skText, std::move(text)});
}

TMimeComposer::~TMimeComposer() = default;

const std::string& TMimeComposer::HeaderText() {
  if (!header_.empty()) return header_;
  const TMailMessageStruct& m = message_;
  std::string h = FoldHeaderField("From", FormatMailbox(m.From));
  if (!m.Subject.empty()) h += FoldHeaderField("Subject", EncodeHeaderText(m.Subject));
  if (!m.To.empty()) h += FoldHeaderField("To", JoinMailboxes(m.To));
  if (!m.Cc.empty()) h += FoldHeaderField("Cc", JoinMailboxes(m.Cc));
  h += FoldHeaderField("Content-Type",
                       "multipart/mixed; charset=\"windows-1251\"; boundary=\"" + mixedBoundary_ + '"');
  h += "MIME-Version: 1.0\r\n";
  h += "Content-Transfer-Encoding: 8bit\r\n";
  if (!m.ReplyTo.empty()) h += FoldHeaderField("Reply-To", JoinMailboxes(m.ReplyTo));
  h += "Date: " + FormatMessageDate(clock_()) + "\r\n";
  h += "Message-ID: <" + messageIds_() + '@' + MessageIdDomain(m.From.Address) + ">\r\n";
  h += "Priority: urgent\r\n";
  h += "X-Priority: 1\r\n";
  h += "Importance: high\r\n";
  h += "\r\n";
  header_ = std::move(h);
  return header_;
}

std::uint64_t TMimeComposer::Size() {
  std::uint64_t size = 0;
  std::string scratch;
  for (TStep& s : steps_) {
    switch (s.Kind) {
      case skHeader:
        size += HeaderText().size();
        break;
      case skText:
        size += s.Text.size();
        break;
      case skBody: {
        // The body once more through an encoder of its own, a chunk at a time.
        TQuotedPrintableEncoder encoder;
        for (std::size_t at = 0; at < body1251_.size(); at += kBodyChunk) {
          encoder.Update(std::string_view(body1251_).substr(at, kBodyChunk), scratch);
          size += scratch.size();
          scratch.clear();
        }
        encoder.Finish(scratch);
        size += scratch.size();
        scratch.clear();
        break;
      }
      case skFile:
        s.Expected = files_.Open(s.Text)->Size();
        size += Base64Length(*s.Expected);
        break;
    }
  }
  return size;
}

bool TMimeComposer::NextFromFile(TStep& step, std::string& out) {
  if (!file_) {
    file_ = files_.Open(step.Text);
    fileBuffer_.resize(kFileChunk);
  }
  const std::size_t n = file_->Read(fileBuffer_.data(), fileBuffer_.size());
  step.Read += n;
  // A file that grew or shrank since Size() counted it would make the message another
  // size than the one announced.
  if (step.Expected && (step.Read > *step.Expected || (n == 0 && step.Read != *step.Expected)))
    throw EInOutError(FormatText(mime_texts::kAttachmentChanged, {step.Text}));
  if (n > 0) {
    base64_.Update(std::string_view(fileBuffer_.data(), n), out);
    return false;
  }
  base64_.Finish(out);
  file_.reset();
  return true;
}

bool TMimeComposer::Next(std::string& out) {
  const std::size_t start = out.size();
  while (step_ < steps_.size()) {
    TStep& s = steps_[step_];
    switch (s.Kind) {
      case skHeader:
        out += HeaderText();
        ++step_;
        break;
      case skText:
        out += s.Text;
        std::string().swap(s.Text);
        ++step_;
        break;
      case skBody: {
        const std::size_t n = std::min(kBodyChunk, body1251_.size() - bodyOffset_);
        quotedPrintable_.Update(std::string_view(body1251_).substr(bodyOffset_, n), out);
        bodyOffset_ += n;
        if (bodyOffset_ == body1251_.size()) {
          quotedPrintable_.Finish(out);
          ++step_;
        }
        return true;
      }
      case skFile:
        if (NextFromFile(s, out)) ++step_;
        return true;
    }
  }
  return out.size() > start;
}

std::string ComposeMessage(const TMailMessageStruct& message, TFileOpener& files, TMessageClock clock,
                           TBoundaryGenerator boundaries, TMessageIdGenerator messageIds) {
  TMimeComposer composer(message, files, std::move(clock), std::move(boundaries), std::move(messageIds));
  std::string out;
  while (composer.Next(out)) {
  }
  return out;
}

}  // namespace eqd
