#include "settings_ui/driver_connection_test.h"

#include "mail/driver.h"

namespace eqd {

TDeviceConnectionTest DriverConnectionTest() {
  return [](TBaseDevice& Device, std::string& Message) {
    auto* driver = dynamic_cast<TDriver*>(&Device);
    return driver == nullptr || driver->TestConnection(Message);
  };
}

}  // namespace eqd
