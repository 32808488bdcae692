// Sends one message through TDevice, for the end-to-end comparison in send_vs_curl.sh.
//
//   smtp_send_driver HOST PORT USER PASSWORD FROM TO BODY_FILE [ATTACHMENT...]
//
// Exit code 0 when the server accepted the message; the failure's message on stderr
// otherwise.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "mail/smtp/device_sender.h"

int main(int argc, char** argv) {
  if (argc < 8) {
    std::cerr << "usage: smtp_send_driver HOST PORT USER PASSWORD FROM TO BODY_FILE [ATTACHMENT...]\n";
    return 2;
  }
  eqd::TDevice device;
  device.FSmtpServerName = argv[1];
  device.FSmtpServerPort = std::stoi(argv[2]);
  device.FSmtpServerUser = argv[3];
  device.FSmtpServerPassword = argv[4];
  device.FUserEmail = argv[5];
  std::ifstream bodyFile(argv[7], std::ios::binary);
  const std::string body((std::istreambuf_iterator<char>(bodyFile)), std::istreambuf_iterator<char>());
  std::vector<eqd::TAttachment> attachments;
  for (int i = 8; i < argc; ++i) attachments.push_back({argv[i], "", ""});
  try {
    device.SendMail(argv[6], "", "", "Benchmark", body, attachments);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
