#include "settings_ui/oauth_sign_in.h"

#include <exception>

#include "settings_ui/settings_ui_texts.h"

namespace eqd {

TOAuthSignIn::TOAuthSignIn(oauth::TOAuthSettingsStruct Settings, oauth::TOAuthTokenSource::TSend Send)
    : FSignIn(std::move(Settings), std::move(Send)) {}

std::optional<std::string> TOAuthSignIn::Run(const TCodeReady& CodeReady, std::string& Message) {
  Message.clear();
  try {
    if (!Wait(std::chrono::seconds(0))) return std::nullopt;
    const oauth::TDeviceAuthorizationStruct code = FSignIn.Start();
    if (!Wait(std::chrono::seconds(0))) return std::nullopt;
    CodeReady(code);
    return FSignIn.WaitForApproval([this](std::chrono::seconds interval) { return Wait(interval); });
  } catch (const std::exception& e) {
    if (!Wait(std::chrono::seconds(0))) return std::nullopt;  // cancelled meanwhile: no error to show
    Message = settings_ui_texts::kSignInFailed + std::string(e.what());
    return std::nullopt;
  }
}

void TOAuthSignIn::Cancel() {
  {
    const std::lock_guard lock(FMutex);
    FCancelled = true;
  }
  FWake.notify_all();
}

bool TOAuthSignIn::Wait(std::chrono::seconds Interval) {
  std::unique_lock lock(FMutex);
  FWake.wait_for(lock, Interval, [this] { return FCancelled; });
  return !FCancelled;
}

}  // namespace eqd
