// The common settings window as the device object sees it. The window itself lives in
// the user-interface layer above this one, which hands the device a factory at module
// start; a build without a desktop window registers none.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace eqd {

class TBaseDevice;

// A settings page is named by its class name; the user-interface layer knows how to
// make a page of each name it offers.
using TSettingsPageClass = std::string;

class TSettingsWindow {
 public:
  virtual ~TSettingsWindow() = default;
  // The device-test menu entry: shown and enabled, or hidden.
  virtual void SetDeviceTestVisible(bool Visible) = 0;
  // Runs the window modally; true when it was closed with OK.
  virtual bool ShowModal() = 0;
};

using TSettingsWindowFactory = std::function<std::unique_ptr<TSettingsWindow>(
    TBaseDevice& Device, const std::vector<TSettingsPageClass>& PageClasses)>;

// Sets the factory every device uses from now on (an empty one: no settings window).
void SetSettingsWindowFactory(TSettingsWindowFactory Factory);
const TSettingsWindowFactory& SettingsWindowFactory();

}  // namespace eqd
