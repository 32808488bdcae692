// TBaseEMailClient: the device class of an e-mail client. It adds the eight methods
// with which the host sends a message: it collects To, Cc and Bcc recipients and
// attachments between calls, checks a SendMail call, hands the send to DoSendMail and
// afterwards empties its lists. It talks to no mail server itself: TDriver does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "automation/variant.h"
#include "device/base_device.h"
#include "mail/attachment.h"
#include "mail/temp_attachment_files.h"

namespace eqd {

class TBaseEMailClient : public TBaseDevice {
 public:
  TBaseEMailClient();
  // Deletes the temporary attachment files still listed, with their folder: they hold
  // the host's data and nobody else knows of them.
  ~TBaseEMailClient() override;

  // The lists as SendMail sees them in place of non-array values: Empty, or a
  // zero-based array of address texts; Empty, or a two-dimensional array whose element
  // [0, i] is the file path, [1, i] the content type and [2, i] the content identifier
  // of attachment i.
  Variant RecepientsArray() const { return AddressArray(FRecepients); }
  Variant CcRecepientsArray() const { return AddressArray(FCcRecepients); }
  Variant BccRecepientsArray() const { return AddressArray(FBccRecepients); }
  Variant AttachmentPathsArray() const;
  // The temporary files still to be deleted, in the order written.
  std::vector<std::string> TmpFileList() const { return FTmpFiles.Paths(); }

  bool DeviceTest(std::string& ResultDescription) override;

 protected:
  void RegisterSettings() override;
  void RegisterMethods() override;
  void OnSetDeviceInfo() override;

  // The send itself, with the lists already put in place of non-array values. Returns
  // a result code or raises; here: 1003, as a plain e-mail client cannot send.
  virtual std::int32_t DoSendMail(const Variant& To, const Variant& Cc, const Variant& Bcc, const std::string& Subject,
                                  const std::string& Body, const Variant& Attachments);

  // Empties the three recipient lists.
  void ClearRecipientLists();
  // Empties the attachment list and deletes the temporary files with their folders
  // (failures ignored).
  void ClearAttachmentList();
  // Raises EInOutError naming the first attachment that cannot be sent: a path holding a
  // NUL character, or a file that does not open as a regular file (a decoded one: as the
  // very file written for it). Called when the message is prepared, before any
  // connection, so that a pipe or a device cannot hold the send half-way for ever.
  void CheckAttachmentFiles(const std::vector<TAttachment>& Attachments);
  // How the sender is to open attachment files: the files AddAttachmentBase64 wrote only
  // while they are still those files, any other as it is on the disk.
  TFileOpener& AttachmentFiles() { return FTmpFiles; }

 private:
  static Variant AddressArray(const std::vector<std::string>& list);

  std::int32_t SendMailHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut, std::string& ResultDescription);
  std::int32_t ClearRecepientsHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                      std::string& ResultDescription);
  std::int32_t AddAddressHandler(std::vector<std::string>& List, Variant& InData, std::string& ResultDescription);
  std::int32_t ClearAttachmentsHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                       std::string& ResultDescription);
  // Both refuse with 1004 a content type or identifier that cannot go into its header
  // field as given (AttachmentHeaderValueError): control characters, bytes beyond ASCII,
  // more than a header line holds.
  std::int32_t AddAttachmentHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                    std::string& ResultDescription);
  std::int32_t AddAttachmentBase64Handler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                          std::string& ResultDescription);

  // In-memory form of FRecepientsArray, FCcRecepientsArray, FBccRecepientsArray and
  // FAttachmentPathsArray: in the order added.
  std::vector<std::string> FRecepients;
  std::vector<std::string> FCcRecepients;
  std::vector<std::string> FBccRecepients;
  std::vector<TAttachment> FAttachments;
  // FTmpFileList: the files AddAttachmentBase64 wrote, in the object's private folder.
  TTempAttachmentFiles FTmpFiles;
};

// Text with the blanks and control characters at both ends removed.
std::string TrimBlanks(const std::string& Text);

// Whether a name given for a temporary attachment file names a plain file directly
// inside its folder on either platform: not empty, not only dots and blanks, no path
// delimiter, no colon (drive or stream), no control character, and not a name Windows
// reserves for a device (IsReservedDeviceName).
bool IsPlainFileName(const std::string& Name);

}  // namespace eqd
