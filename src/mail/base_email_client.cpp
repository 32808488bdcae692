#include "mail/base_email_client.h"

#include <cstdio>

#include "automation/errors.h"
#include "automation/file_names.h"
#include "automation/result_codes.h"
#include "automation/value_text.h"
#include "automation/variant_convert.h"
#include "mail/codecs/base64.h"
#include "mail/email_client_texts.h"
#include "mail/mime/mail_message.h"
#include "mail/mime/text_format.h"

namespace eqd {
namespace {

// A name shown in a message: control characters as \xNN so the message stays one line.
std::string Printable(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool HasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

}  // namespace

std::string TrimBlanks(const std::string& Text) {
  std::size_t first = 0, last = Text.size();
  while (first < last && static_cast<unsigned char>(Text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(Text[last - 1]) <= ' ') --last;
  return Text.substr(first, last - first);
}

bool IsPlainFileName(const std::string& Name) {
  if (Name.find_first_not_of(". ") == std::string::npos) return false;  // empty, ".", "..", "..." ...
  for (unsigned char c : Name)
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
  return !IsReservedDeviceName(Name);
}

TBaseEMailClient::TBaseEMailClient() = default;

TBaseEMailClient::~TBaseEMailClient() = default;

// ---- hooks ----

void TBaseEMailClient::RegisterSettings() { TBaseDevice::RegisterSettings(); }

void TBaseEMailClient::RegisterMethods() {
  TBaseDevice::RegisterMethods();
  AddSpecificMethod("SendMail", [this](Variant& i, Variant& o, std::int32_t t, std::string& d) {
    return SendMailHandler(i, o, t, d);
  });
  AddSpecificMethod("ClearRecepients", [this](Variant& i, Variant& o, std::int32_t t, std::string& d) {
    return ClearRecepientsHandler(i, o, t, d);
  });
  AddSpecificMethod("AddRecepient", [this](Variant& i, Variant&, std::int32_t, std::string& d) {
    return AddAddressHandler(FRecepients, i, d);
  });
  AddSpecificMethod("AddCcRecepient", [this](Variant& i, Variant&, std::int32_t, std::string& d) {
    return AddAddressHandler(FCcRecepients, i, d);
  });
  AddSpecificMethod("AddBccRecepient", [this](Variant& i, Variant&, std::int32_t, std::string& d) {
    return AddAddressHandler(FBccRecepients, i, d);
  });
  AddSpecificMethod("ClearAttachments", [this](Variant& i, Variant& o, std::int32_t t, std::string& d) {
    return ClearAttachmentsHandler(i, o, t, d);
  });
  AddSpecificMethod("AddAttachment", [this](Variant& i, Variant& o, std::int32_t t, std::string& d) {
    return AddAttachmentHandler(i, o, t, d);
  });
  AddSpecificMethod("AddAttachmentBase64", [this](Variant& i, Variant& o, std::int32_t t, std::string& d) {
    return AddAttachmentBase64Handler(i, o, t, d);
  });
}

void TBaseEMailClient::OnSetDeviceInfo() {
  TBaseDevice::OnSetDeviceInfo();
  FDeviceInfo.TypeName = email_client_texts::kTypeName;
}

bool TBaseEMailClient::DeviceTest(std::string& ResultDescription) {
  ResultDescription.clear();
  return true;
}

std::int32_t TBaseEMailClient::DoSendMail(const Variant&, const Variant&, const Variant&, const std::string&,
                                          const std::string&, const Variant&) {
  return rcCommandNotSupported;
}

// ---- lists ----

Variant TBaseEMailClient::AddressArray(const std::vector<std::string>& list) {
  if (list.empty()) return Variant();
  std::vector<Variant> items(list.begin(), list.end());
  return Variant::Array(std::move(items));
}

Variant TBaseEMailClient::AttachmentPathsArray() const {
  if (FAttachments.empty()) return Variant();
  SafeArray a({ArrayBound{0, 3}, ArrayBound{0, static_cast<std::uint32_t>(FAttachments.size())}});
  for (std::size_t i = 0; i < FAttachments.size(); ++i) {
    const auto j = static_cast<std::int64_t>(i);
    a.At({0, j}) = Variant(FAttachments[i].FilePath);
    a.At({1, j}) = Variant(FAttachments[i].ContentType);
    a.At({2, j}) = Variant(FAttachments[i].ContentID);
  }
  return Variant(std::move(a));
}

void TBaseEMailClient::ClearRecipientLists() {
  FRecepients.clear();
  FCcRecepients.clear();
  FBccRecepients.clear();
}

void TBaseEMailClient::CheckAttachmentFiles(const std::vector<TAttachment>& Attachments) {
  for (const TAttachment& a : Attachments) {
    if (HasNul(a.FilePath))
      throw EInOutError(FormatText(email_client_texts::kAttachmentPathHasNul, {Printable(a.FilePath)}));
    (void)FTmpFiles.Open(a.FilePath);
  }
}

void TBaseEMailClient::ClearAttachmentList() {
  FAttachments.clear();
  FTmpFiles.Clear();
}

// ---- handlers ----

std::int32_t TBaseEMailClient::SendMailHandler(Variant& InData, Variant&, std::int32_t, std::string& ResultDescription) {
  ResultDescription.clear();
  if (!Enabled()) return rcDeviceNotEnabled;
  Variant to = GetArrayItem(InData, 0);
  Variant cc = GetArrayItem(InData, 1);
  Variant bcc = GetArrayItem(InData, 2);
  const std::string subject = GetArrayItemStr(InData, 3, "");
  const std::string body = GetArrayItemStr(InData, 4, "");
  Variant attachments = GetArrayItem(InData, 5);
  // A value that is no array means "the list collected by the Add methods".
  if (!to.IsArray()) to = RecepientsArray();
  if (!cc.IsArray()) cc = CcRecepientsArray();
  if (!bcc.IsArray()) bcc = BccRecepientsArray();
  if (!attachments.IsArray()) attachments = AttachmentPathsArray();

  std::string first;
  try {
    first = GetArrayItemStr(to, 0, "");
  } catch (const ERangeError& e) {  // a To array that starts above 0
    ResultDescription = e.what();
    return rcInvalidParameters;
  }
  if (TrimBlanks(first).empty()) {
    ResultDescription = email_client_texts::kNoRecipient;
    return rcInvalidParameters;
  }

  std::int32_t code = rcOk;
  try {
    code = DoSendMail(to, cc, bcc, subject, body, attachments);
  } catch (const std::exception& e) {
    // Everything is kept, so the host can fix the cause and send again.
    ResultDescription = ErrorMessage(e);
    return rcUnknownError;
  }
  ClearAttachmentList();
  ClearRecipientLists();
  return code;
}

std::int32_t TBaseEMailClient::ClearRecepientsHandler(Variant&, Variant&, std::int32_t, std::string& ResultDescription) {
  ResultDescription.clear();
  if (!Enabled()) return rcDeviceNotEnabled;
  ClearRecipientLists();
  return rcOk;
}

std::int32_t TBaseEMailClient::AddAddressHandler(std::vector<std::string>& List, Variant& InData,
                                                 std::string& ResultDescription) {
  ResultDescription.clear();
  if (!Enabled()) return rcDeviceNotEnabled;
  std::string address = GetArrayItemStr(InData, 0, "");
  if (TrimBlanks(address).empty()) return rcOk;
  List.push_back(std::move(address));  // as given, blanks and duplicates included
  return rcOk;
}

std::int32_t TBaseEMailClient::ClearAttachmentsHandler(Variant&, Variant&, std::int32_t,
                                                       std::string& ResultDescription) {
  ResultDescription.clear();
  if (!Enabled()) return rcDeviceNotEnabled;
  ClearAttachmentList();
  return rcOk;
}

std::int32_t TBaseEMailClient::AddAttachmentHandler(Variant& InData, Variant&, std::int32_t,
                                                    std::string& ResultDescription) {
  ResultDescription.clear();
  if (!Enabled()) return rcDeviceNotEnabled;
  std::string path = GetArrayItemStr(InData, 0, "");
  if (TrimBlanks(path).empty()) return rcOk;
  // The system would read the path only up to the NUL: another file than the one named.
  if (HasNul(path)) {
    ResultDescription = FormatText(email_client_texts::kAttachmentPathHasNul, {Printable(path)});
    return rcInvalidParameters;
  }
  std::string contentType = GetArrayItemStr(InData, 1, "");
  std::string contentId = GetArrayItemStr(InData, 2, "");
  ResultDescription = AttachmentHeaderValueError(contentType, contentId);
  if (!ResultDescription.empty()) return rcInvalidParameters;
  // The file is not looked at now: a missing file fails the send.
  FAttachments.push_back({std::move(path), std::move(contentType), std::move(contentId)});
  return rcOk;
}

std::int32_t TBaseEMailClient::AddAttachmentBase64Handler(Variant& InData, Variant&, std::int32_t,
                                                          std::string& ResultDescription) {
  ResultDescription.clear();
  if (!Enabled()) return rcDeviceNotEnabled;
  try {
    // All four elements must be there: read directly, not with the lenient readers.
    const Variant& in = InData.Deref();
    if (!in.IsArray() || in.ArrayValue() == nullptr) throw ERangeError(email_client_texts::kInDataNotArray);
    const SafeArray& a = *in.ArrayValue();
    const std::string name = VarToStr(a.At({0}));
    const std::string base64 = VarToStr(a.At({1}));
    const std::string contentType = VarToStr(a.At({2}));
    const std::string contentId = VarToStr(a.At({3}));
    if (!IsPlainFileName(name)) {
      ResultDescription = FormatText(email_client_texts::kBadAttachmentName, {Printable(name)});
      return rcInvalidParameters;
    }
    ResultDescription = AttachmentHeaderValueError(contentType, contentId);
    if (!ResultDescription.empty()) return rcInvalidParameters;
    const std::string path = FTmpFiles.Write(FolderNameFromIdentifier(FDeviceID), name, Base64Decode(base64));
    FAttachments.push_back({path, contentType, contentId});
    return rcOk;
  } catch (const std::exception& e) {
    ResultDescription = e.what();
    return rcInvalidParameters;
  }
}

}  // namespace eqd
