// "Войти…" without the window: the device sign-in (oauth/device_sign_in.h) run on a
// worker thread, which the window's thread can end at any time. The window shows the
// address and the code the run hands over, and puts the refresh token into its field.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "mail/oauth/device_sign_in.h"

namespace eqd {

class TOAuthSignIn {
 public:
  using TCodeReady = std::function<void(const oauth::TDeviceAuthorizationStruct& Code)>;

  explicit TOAuthSignIn(oauth::TOAuthSettingsStruct Settings,
                        oauth::TOAuthTokenSource::TSend Send = &platform::HttpsSend);

  // On the worker thread: asks the provider for a code, hands it to CodeReady, and polls
  // until the person approved it. The refresh token, or none with the reason in Message
  // (empty after Cancel).
  std::optional<std::string> Run(const TCodeReady& CodeReady, std::string& Message);

  // From any thread: the wait between two polls ends at once and no further request is
  // made; a request under way ends by its own limit.
  void Cancel();

 private:
  bool Wait(std::chrono::seconds Interval);

  oauth::TDeviceSignIn FSignIn;
  std::mutex FMutex;
  std::condition_variable FWake;
  bool FCancelled = false;
};

}  // namespace eqd
