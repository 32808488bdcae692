// TBaseEMailClient: the device class of an e-mail client. It adds the eight methods
// with which the host sends a message: it collects To, Cc and Bcc recipients and
// attachments between calls, checks a SendMail call, hands the send to DoSendMail and
// afterwards empties its lists. It talks to no mail server itself: TDriver does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "automation/variant.h"
#include "device/base_device.h"
#include "mail/attachment.h"

namespace eqd {

class TBaseEMailClient : public TBaseDevice {
 public:
  TBaseEMailClient();
  // Deletes the temporary attachment files still listed: they hold the host's data
  // and nobody else knows of them.
  ~TBaseEMailClient() override;

  // The lists as SendMail sees them in place of non-array values: Empty, or a
  // zero-based array of address texts; Empty, or a two-dimensional array whose element
  // [0, i] is the file path, [1, i] the content type and [2, i] the content identifier
  // of attachment i.
  Variant RecepientsArray() const { return AddressArray(FRecepients); }
  Variant CcRecepientsArray() const { return AddressArray(FCcRecepients); }
  Variant BccRecepientsArray() const { return AddressArray(FBccRecepients); }
  Variant AttachmentPathsArray() const;
  // The temporary files still to be deleted; nullptr before the first Enable.
  const std::vector<std::string>* TmpFileList() const { return FTmpFileList.get(); }

  bool DeviceTest(std::string& ResultDescription) override;

 protected:
  void RegisterSettings() override;
  void RegisterMethods() override;
  void OnSetDeviceInfo() override;
  std::int32_t OnEnable(std::string& ResultDescription) override;

  // The send itself, with the lists already put in place of non-array values. Returns
  // a result code or raises; here: 1003, as a plain e-mail client cannot send.
  virtual std::int32_t DoSendMail(const Variant& To, const Variant& Cc, const Variant& Bcc, const std::string& Subject,
                                  const std::string& Body, const Variant& Attachments);

  // Empties the three recipient lists.
  void ClearRecipientLists();
  // Empties the attachment list and deletes the temporary files (failures ignored).
  void ClearAttachmentList();
  // Where AddAttachmentBase64 writes a file of this name: the temporary folder's
  // subfolder named after the DeviceID (created when missing). An existing file of
  // that name is deleted, and the path is listed for deletion before it is written.
  std::string TempAttachmentPath(const std::string& Name);

 private:
  static Variant AddressArray(const std::vector<std::string>& list);

  std::int32_t SendMailHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut, std::string& ResultDescription);
  std::int32_t ClearRecepientsHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                      std::string& ResultDescription);
  std::int32_t AddAddressHandler(std::vector<std::string>& List, Variant& InData, std::string& ResultDescription);
  std::int32_t ClearAttachmentsHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                       std::string& ResultDescription);
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
  std::unique_ptr<std::vector<std::string>> FTmpFileList;
};

// Text with the blanks and control characters at both ends removed.
std::string TrimBlanks(const std::string& Text);

// Whether a name given for a temporary attachment file names a plain file directly
// inside its folder on either platform: not empty, not only dots and blanks, no path
// delimiter, no colon (drive or stream), no control character, and not a reserved
// device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension).
bool IsPlainFileName(const std::string& Name);

}  // namespace eqd
