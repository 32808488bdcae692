#include "device/settings_window.h"

#include "automation/errors.h"
#include "device/base_device.h"
#include "device/device_texts.h"

namespace eqd {

namespace {
TSettingsWindowFactory& Factory() {
  static TSettingsWindowFactory factory;
  return factory;
}

// Gives the focus back to the host's window however the window ends.
class TFocusGuard {
 public:
  explicit TFocusGuard(TBaseDevice& device) : device_(device) { device_.StoreFocus(); }
  ~TFocusGuard() { device_.RestoreFocus(); }
  TFocusGuard(const TFocusGuard&) = delete;
  TFocusGuard& operator=(const TFocusGuard&) = delete;

 private:
  TBaseDevice& device_;
};
}  // namespace

void SetSettingsWindowFactory(TSettingsWindowFactory F) { Factory() = std::move(F); }
const TSettingsWindowFactory& SettingsWindowFactory() { return Factory(); }

bool TBaseDevice::ShowSettingsForm(const std::vector<TSettingsPageClass>& PageClasses, bool HideDeviceTest) {
  TFocusGuard focus(*this);
  const TSettingsWindowFactory& factory = SettingsWindowFactory();
  if (!factory) throw EDriverError(device_texts::kNoSettingsWindow);
  std::unique_ptr<TSettingsWindow> window = factory(*this, PageClasses);
  if (!window) throw EDriverError(device_texts::kNoSettingsWindow);
  window->SetDeviceTestVisible(!HideDeviceTest);
  const bool accepted = window->ShowModal();
  OnSettingsChanged();
  return accepted;
}

}  // namespace eqd
