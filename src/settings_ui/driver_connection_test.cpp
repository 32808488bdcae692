#include "settings_ui/driver_connection_test.h"

#include <exception>

#include "mail/driver.h"
#include "platform/cancel_scope.h"
#include "settings_ui/settings_ui_texts.h"

namespace eqd {

namespace {

class TDriverConnectionCheck final : public TConnectionCheck {
 public:
  TDriverConnectionCheck(TDriver& Driver, std::unique_ptr<TConnectionProbe> Probe) : FDriver(Driver), FProbe(std::move(Probe)) {}

  bool Run(std::string& Message) override {
    try {
      // Every wait for the server on this thread ends as soon as the signal is raised.
      const platform::TCancelScope scope(FCancel);
      FReport = FProbe->Device.TestConnection();
      return true;
    } catch (const std::exception& e) {
      Message = settings_ui_texts::kConnectionCheckFailed + std::string(e.what());
      return false;
    }
  }

  // The driver shows what the check proved under "Успешно!" and keeps its tokens.
  void Succeeded(TBaseDevice&) override { FDriver.KeepConnectionTest(*FProbe, FReport); }

 protected:
  void Abort() override { FCancel.Raise(); }

 private:
  TDriver& FDriver;
  std::unique_ptr<TConnectionProbe> FProbe;
  TConnectionReportStruct FReport;
  platform::TCancelSignal FCancel;
};

}  // namespace

TDeviceConnectionTest DriverConnectionTest() {
  return [](TBaseDevice& Device) -> std::unique_ptr<TConnectionCheck> {
    auto* driver = dynamic_cast<TDriver*>(&Device);
    if (driver == nullptr) return nullptr;
    return std::make_unique<TDriverConnectionCheck>(*driver, driver->PrepareConnectionTest());
  };
}

}  // namespace eqd
