// One message to send, checked and cleaned, as both the composer (the message text) and
// the SMTP session (the envelope) use it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "mail/attachment.h"
#include "mail/codecs/address_list.h"

namespace eqd {

struct TMailMessageStruct {
  TMailAddressStruct From;                 // the sender: the first mailbox of the sender text
  std::vector<TMailAddressStruct> ReplyTo;  // every mailbox of the sender text
  std::vector<TMailAddressStruct> To, Cc, Bcc;
  std::string Subject;                     // UTF-8, one line
  std::string BodyText;                    // UTF-8 HTML; may be empty
  std::vector<TAttachment> Attachments;    // in the order given

  // MAIL FROM: the sender's address.
  const std::string& EnvelopeSender() const { return From.Address; }
  // RCPT TO, one per entry: the To addresses, then Cc, then Bcc, each in its order.
  std::vector<std::string> EnvelopeRecipients() const;
  // Whether the message can go only to a server that announces SMTPUTF8 (RFC 6531): an
  // address of the envelope or the header has a local part outside ASCII. Such a local
  // part is well-formed UTF-8, so the header is then valid UTF-8 (RFC 6532); domains are
  // always ASCII here, as A-labels.
  bool NeedsSmtpUtf8() const;
};

// What SMTP lets an address be (RFC 5321, 4.5.3.1), in octets: the local part, the
// domain, and the whole address, which with its angle brackets is a path of 256.
inline constexpr std::size_t kMaxLocalPartLength = 64;
inline constexpr std::size_t kMaxDomainLength = 255;
inline constexpr std::size_t kMaxAddressLength = 254;
// The longest content type and content identifier of an attachment: each fits its
// header line ("Content-Type: " … ";" and "Content-ID: " …) of at most 998 octets.
inline constexpr std::size_t kMaxContentTypeLength = 983;
inline constexpr std::size_t kMaxContentIdLength = 986;

// Builds the message of one send from the sender's inputs, before any connection is made:
//  - parses the sender (`AUserEmail`) and the three recipient texts as address lists;
//  - refuses, with EDriverError naming it, an address that could break an SMTP command
//    or a header line (IsValidMailAddress: a control character, CR, LF and NUL included,
//    "<", ">", a blank outside quotes), one whose local part is not well-formed UTF-8,
//    and one longer than SMTP allows (the limits above);
//  - gives a domain outside ASCII as its A-labels (platform::DomainToAscii) in the
//    envelope and the header alike, and refuses one that does not convert; a local part
//    outside ASCII is kept as it is (NeedsSmtpUtf8 tells);
//  - refuses a missing sender and a send with no recipient;
//  - replaces CR, LF and NUL by a blank in the subject and the display names, and every
//    control character in the attachments' content types and content identifiers, so
//    that no header line can be added from input (file names are cleaned where the
//    composer takes them from the path); refuses a content type or identifier that still
//    cannot go into its header field (AttachmentHeaderValueError).
TMailMessageStruct PrepareMailMessage(std::string_view AUserEmail, std::string_view ARecepients,
                                      std::string_view ACcRecepients, std::string_view ABccRecepients,
                                      std::string_view ASubject, std::string_view ABodyText,
                                      const std::vector<TAttachment>& AAttachmentPathsArray);

// CR, LF and NUL replaced by a blank.
std::string OneHeaderLine(std::string_view text);

// Why an attachment's content type or content identifier cannot go into its header field
// as given: a character outside printable ASCII (a control character, or a byte above
// 127, which the header would carry raw), or more than its header line holds. Empty when
// both can. The text names the value, its control characters shown as \xNN.
std::string AttachmentHeaderValueError(std::string_view AContentType, std::string_view AContentID);

}  // namespace eqd
