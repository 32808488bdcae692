// Sends COUNT small messages one after another through one TDevice, as a shop's driver
// object sends its receipts, for bench/bulk_send.sh.
//
//   smtp_bulk_driver HOST PORT USER PASSWORD FROM TO COUNT KEEP_ALIVE_SECONDS
//
// Prints one line of JSON: {"messages": N, "seconds": wall, "cpu_seconds": user + system}.
// Exit code 0 when the server accepted every message; the failure's message on stderr
// otherwise.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "mail/smtp/device_sender.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 9) {
    std::cerr << "usage: smtp_bulk_driver HOST PORT USER PASSWORD FROM TO COUNT KEEP_ALIVE_SECONDS\n";
    return 2;
  }
  eqd::TDevice device;
  device.FSmtpServerName = argv[1];
  device.FSmtpServerPort = std::stoi(argv[2]);
  device.FSmtpServerUser = argv[3];
  device.FSmtpServerPassword = argv[4];
  device.FUserEmail = argv[5];
  device.FSmtpKeepAlive = std::stoi(argv[8]);
  const int count = std::stoi(argv[7]);
  const double cpuBefore = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  try {
    for (int i = 1; i <= count; ++i)
      device.SendMail(argv[6], "", "", "Receipt " + std::to_string(i),
                      "<p>Thank you for your order " + std::to_string(i) + ".</p>", {});
    device.EndSession();
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  std::printf("{\"messages\": %d, \"seconds\": %.6f, \"cpu_seconds\": %.6f}\n", count, wall.count(),
              CpuSeconds() - cpuBefore);
  return 0;
}
