#include "mail/mime/mail_message.h"

#include "automation/errors.h"
#include "mail/mime/mime_texts.h"
#include "mail/mime/text_format.h"

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

std::vector<TMailAddressStruct> CheckedList(std::string_view text) {
  std::vector<TMailAddressStruct> list = ParseAddressList(text);
  for (TMailAddressStruct& a : list) {
    if (!IsValidMailAddress(a.Address))
      throw EDriverError(FormatText(mime_texts::kBadAddress, {Visible(a.Address)}));
    a.DisplayName = OneHeaderLine(a.DisplayName);
  }
  return list;
}

}  // namespace

std::string OneHeaderLine(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  return out;
}

std::vector<std::string> TMailMessageStruct::EnvelopeRecipients() const {
  std::vector<std::string> out;
  for (const auto* list : {&To, &Cc, &Bcc})
    for (const TMailAddressStruct& a : *list) out.push_back(a.Address);
  return out;
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
  for (const TAttachment& a : AAttachmentPathsArray)
    m.Attachments.push_back(TAttachment{a.FilePath, OneHeaderLine(a.ContentType), OneHeaderLine(a.ContentID)});
  return m;
}

}  // namespace eqd
