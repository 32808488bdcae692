#include "host/in_process_driver.h"

#include <algorithm>
#include <memory>

#include "automation/ascii_case.h"
#include "host/driver_dispatch.h"
#include "host/host_files.h"
#include "host/json_variant.h"

namespace eqd {

DispatchPtr CreateInProcessDriver(TDriver::TDryRunStruct* dryRun, const smtp::TSmtpDialogueObserver& dialogue) {
  auto device = CreateDevice<TDriver>();
  device->SetDryRun(dryRun);
  device->SetDialogueObserver(dialogue);
  std::shared_ptr<TBaseObject> driver(device.release(), TDeviceDeleter());
  return std::make_shared<TDriverDispatch>(std::move(driver));
}

bool IsDriverSecretSetting(std::string_view id) {
  static const std::vector<std::string> secrets = [] {
    std::vector<std::string> ids;
    const auto driver = CreateDevice<TDriver>();
    for (std::int32_t i = 0; i < driver->SettingsCount(); ++i)
      if (driver->GetSetting(i)->Secret) ids.push_back(driver->GetSetting(i)->ID);
    return ids;
  }();
  return std::any_of(secrets.begin(), secrets.end(), [id](const std::string& s) { return AsciiSameText(s, id); });
}

int RunDryRunSend(const THostOptionsStruct& options, const DispatchPtr& manager, THostStreamsStruct io) {
  // Composed in memory, so that a send the driver refuses leaves no file behind.
  TDriver::TDryRunStruct dryRun{};
  const int code = RunHostCommand(options, [&dryRun] { return CreateInProcessDriver(&dryRun); }, manager, io,
                                  IsDriverSecretSetting);
  if (code != 0) return code;
  try {
    WriteNewHostFile(options.DryRunFile.value_or(""), dryRun.Message, options.Force);
  } catch (const std::exception& e) {
    io.Err << "eqhost: " << e.what() << std::endl;
    return 2;
  }
  const Json envelope{{"sender", dryRun.Envelope.Sender}, {"recipients", dryRun.Envelope.Recipients}};
  io.Out << envelope.dump(2, ' ', false, Json::error_handler_t::replace) << std::endl;
  return 0;
}

}  // namespace eqd
