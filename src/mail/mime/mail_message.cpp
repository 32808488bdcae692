#include "mail/mime/mail_message.h"

#include <cstdio>

#include "automation/errors.h"
#include "platform/utf8.h"
#include "mail/mime/mime_texts.h"
#include "mail/mime/text_format.h"
#include "platform/idn.h"

namespace eqd {
namespace {

// The address as the error message shows it: line breaks and NUL made visible.
std::string Visible(std::string_view address) {
  std::string out;
  for (const char c : address) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\0')
      out += "\\0";
    else
      out += c;
  }
  return out;
}

// A header value as an error message shows it: control characters and bytes that are not
// part of well-formed UTF-8 as \xNN, so the message stays one readable line.
std::string VisibleBytes(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t start = at;
    const char32_t c = platform::DecodeUtf8(text, at);
    if (c != platform::kInvalidUtf8 && c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0)) {
      out += text.substr(start, at - start);
      continue;
    }
    for (std::size_t i = start; i < at; ++i) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(text[i]));
      out += hex;
    }
  }
  return out;
}

bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// The address as it goes to the server and into the header: its domain in ASCII. Raises
// EDriverError for an address that cannot be sent.
std::string CheckedAddress(const std::string& address) {
  if (!IsValidMailAddress(address)) throw EDriverError(FormatText(mime_texts::kBadAddress, {Visible(address)}));
  // An address without "@" ("postmaster") is all local part.
  const std::size_t at = address.rfind('@');
  const std::string_view local = std::string_view(address).substr(0, at);
  std::string domain = at == std::string::npos ? std::string() : address.substr(at + 1);
  if (!platform::IsWellFormedUtf8(local)) throw EDriverError(FormatText(mime_texts::kBadAddress, {VisibleBytes(address)}));
  if (!IsAscii(domain)) {
    std::optional<std::string> ascii = platform::DomainToAscii(domain);
    if (!ascii) throw EDriverError(FormatText(mime_texts::kBadDomain, {VisibleBytes(address)}));
    domain = std::move(*ascii);
  }
  std::string sent(local);
  if (at != std::string::npos) sent += '@' + domain;
  if (local.size() > kMaxLocalPartLength || domain.size() > kMaxDomainLength || sent.size() > kMaxAddressLength)
    throw EDriverError(FormatText(mime_texts::kAddressTooLong, {VisibleBytes(address)}));
  return sent;
}

std::vector<TMailAddressStruct> CheckedList(std::string_view text) {
  std::vector<TMailAddressStruct> list = ParseAddressList(text);
  for (TMailAddressStruct& a : list) {
    a.Address = CheckedAddress(a.Address);
    a.DisplayName = OneHeaderLine(a.DisplayName);
  }
  return list;
}

// Control characters of a content type or identifier made blanks.
std::string WithoutControls(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return out;
}

bool IsPrintableAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) return false;
  return true;
}

}  // namespace

std::string OneHeaderLine(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  return out;
}

std::string AttachmentHeaderValueError(std::string_view AContentType, std::string_view AContentID) {
  if (!IsPrintableAscii(AContentType)) return FormatText(mime_texts::kBadContentType, {VisibleBytes(AContentType)});
  if (!IsPrintableAscii(AContentID)) return FormatText(mime_texts::kBadContentId, {VisibleBytes(AContentID)});
  if (AContentType.size() > kMaxContentTypeLength)
    return FormatText(mime_texts::kContentTypeTooLong,
                      {std::to_string(AContentType.size()), std::to_string(kMaxContentTypeLength)});
  if (AContentID.size() > kMaxContentIdLength)
    return FormatText(mime_texts::kContentIdTooLong,
                      {std::to_string(AContentID.size()), std::to_string(kMaxContentIdLength)});
  return {};
}

std::vector<std::string> TMailMessageStruct::EnvelopeRecipients() const {
  std::vector<std::string> out;
  for (const auto* list : {&To, &Cc, &Bcc})
    for (const TMailAddressStruct& a : *list) out.push_back(a.Address);
  return out;
}

bool TMailMessageStruct::NeedsSmtpUtf8() const {
  if (!IsAscii(From.Address)) return true;
  for (const auto* list : {&ReplyTo, &To, &Cc, &Bcc})
    for (const TMailAddressStruct& a : *list)
      if (!IsAscii(a.Address)) return true;
  return false;
}

TMailMessageStruct PrepareMailMessage(std::string_view AUserEmail, std::string_view ARecepients,
                                      std::string_view ACcRecepients, std::string_view ABccRecepients,
                                      std::string_view ASubject, std::string_view ABodyText,
                                      const std::vector<TAttachment>& AAttachmentPathsArray) {
  TMailMessageStruct m;
  m.ReplyTo = CheckedList(AUserEmail);
  if (m.ReplyTo.empty()) throw EDriverError(mime_texts::kNoSender);
  m.From = m.ReplyTo.front();
  m.To = CheckedList(ARecepients);
  m.Cc = CheckedList(ACcRecepients);
  m.Bcc = CheckedList(ABccRecepients);
  if (m.To.empty() && m.Cc.empty() && m.Bcc.empty()) throw EDriverError(mime_texts::kNoRecipients);
  m.Subject = OneHeaderLine(ASubject);
  m.BodyText = std::string(ABodyText);
  for (const TAttachment& a : AAttachmentPathsArray) {
    TAttachment cleaned{a.FilePath, WithoutControls(a.ContentType), WithoutControls(a.ContentID)};
    if (const std::string error = AttachmentHeaderValueError(cleaned.ContentType, cleaned.ContentID); !error.empty())
      throw EDriverError(error);
    m.Attachments.push_back(std::move(cleaned));
  }
  return m;
}

}  // namespace eqd
