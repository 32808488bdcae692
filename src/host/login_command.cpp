#include "host/login_command.h"

#include <nlohmann/json.hpp>
#include <ostream>
#include <thread>

#include "automation/ascii_case.h"
#include "host/host_error.h"
#include "host/host_files.h"
#include "host/host_texts.h"
#include "mail/oauth/oauth_error.h"
#include "platform/os_error.h"
#include "platform/private_file.h"

namespace eqd {
namespace {

using TOrderedJson = nlohmann::ordered_json;

// A setting's text from the file, its ID matched as the driver matches IDs (ASCII case
// folded); numbers and Booleans as JSON writes them.
std::string FileSetting(const TOrderedJson& file, std::string_view id) {
  for (const auto& [key, value] : file.items()) {
    if (!AsciiSameText(key, id)) continue;
    if (value.is_string()) return value.get<std::string>();
    return value.is_null() ? std::string() : value.dump();
  }
  return {};
}

// The refresh token goes under the ID the file already uses, else under its own name.
void StoreRefreshToken(TOrderedJson& file, const std::string& token) {
  for (auto& [key, value] : file.items()) {
    if (AsciiSameText(key, "OAuthRefreshToken")) {
      value = token;
      return;
    }
  }
  file["OAuthRefreshToken"] = token;
}

}  // namespace

int RunLoginCommand(const THostOptionsStruct& options, THostStreamsStruct streams,
                    const oauth::TDeviceSignIn::TWait& wait, const oauth::TOAuthTokenSource::TSend& send) {
  TOrderedJson file;
  oauth::TOAuthSettingsStruct settings;
  try {
    file = TOrderedJson::parse(ReadHostFile(options.SettingsFile), nullptr, /*allow_exceptions=*/false);
    if (!file.is_object()) throw EHostError(options.SettingsFile + ": not a JSON object");
    settings = oauth::ReadOAuthSettings([&file](std::string_view id) { return FileSetting(file, id); });
    if (settings.Flow != oauth::TOAuthFlow::ofRefreshToken)
      throw EHostError(std::string(host_texts::kLoginNotRefreshFlow) + "\"" +
                       std::string(oauth::OAuthFlowText(settings.Flow)) + "\"");
  } catch (const EDriverError& e) {
    streams.Err << "eqhost: " << e.what() << std::endl;
    return 2;
  }

  try {
    oauth::TDeviceSignIn signIn(settings, send);
    const oauth::TDeviceAuthorizationStruct device = signIn.Start();
    streams.Out << host_texts::kLoginOpen << device.VerificationUri << host_texts::kLoginEnterCode << device.UserCode
                << std::endl;
    if (!device.Message.empty()) streams.Out << device.Message << std::endl;
    streams.Out << host_texts::kLoginWaiting << std::endl;
    const oauth::TDeviceSignIn::TWait pause = wait ? wait : [](std::chrono::seconds interval) {
      std::this_thread::sleep_for(interval);
      return true;
    };
    const std::optional<std::string> refreshToken = signIn.WaitForApproval(pause);
    if (!refreshToken) return 1;
    StoreRefreshToken(file, *refreshToken);
  } catch (const EDriverError& e) {
    streams.Err << "eqhost: login: " << e.what() << std::endl;
    return 1;
  }

  const std::string text = file.dump(2, ' ', /*ensure_ascii=*/false) + "\n";
  if (const platform::OsErrorCode error = platform::ReplaceFilePrivately(options.SettingsFile, text); error != 0) {
    streams.Err << "eqhost: " << host_texts::kLoginCannotWrite << options.SettingsFile << ": "
                << platform::SystemErrorText(error) << std::endl;
    return 2;
  }
  streams.Out << host_texts::kLoginDone << options.SettingsFile << std::endl;
  return 0;
}

}  // namespace eqd
