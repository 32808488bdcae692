#include "settings_ui/driver_connection_test.h"

#include <exception>

#include "mail/driver.h"
#include "platform/cancel_scope.h"
#include "settings_ui/settings_ui_texts.h"

namespace eqd {

namespace {

class TDriverConnectionCheck final : public TConnectionCheck {
 public:
  explicit TDriverConnectionCheck(std::unique_ptr<TDevice> Probe) : FProbe(std::move(Probe)) {}

  bool Run(std::string& Message) override {
    try {
      // Every wait for the server on this thread ends as soon as the signal is raised.
      const platform::TCancelScope scope(FCancel);
      FProbe->TestConnection();
      return true;
    } catch (const std::exception& e) {
      Message = settings_ui_texts::kConnectionCheckFailed + std::string(e.what());
      return false;
    }
  }

 protected:
  void Abort() override { FCancel.Raise(); }

 private:
  std::unique_ptr<TDevice> FProbe;
  platform::TCancelSignal FCancel;
};

}  // namespace

TDeviceConnectionTest DriverConnectionTest() {
  return [](TBaseDevice& Device) -> std::unique_ptr<TConnectionCheck> {
    auto* driver = dynamic_cast<TDriver*>(&Device);
    if (driver == nullptr) return nullptr;
    return std::make_unique<TDriverConnectionCheck>(driver->PrepareConnectionTest());
  };
}

}  // namespace eqd
