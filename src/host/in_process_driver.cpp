#include "host/in_process_driver.h"

#include <memory>

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

int RunDryRunSend(const THostOptionsStruct& options, const DispatchPtr& manager, THostStreamsStruct io) {
  // Composed in memory, so that a send the driver refuses leaves no file behind.
  TDriver::TDryRunStruct dryRun{};
  const int code = RunHostCommand(options, [&dryRun] { return CreateInProcessDriver(&dryRun); }, manager, io);
  if (code != 0) return code;
  try {
    WriteHostFile(options.DryRunFile.value_or(""), dryRun.Message);
  } catch (const std::exception& e) {
    io.Err << "eqhost: " << e.what() << std::endl;
    return 2;
  }
  const Json envelope{{"sender", dryRun.Envelope.Sender}, {"recipients", dryRun.Envelope.Recipients}};
  io.Out << envelope.dump(2, ' ', false, Json::error_handler_t::replace) << std::endl;
  return 0;
}

}  // namespace eqd
