// TBaseDevice: the generic piece of equipment as the host sees it. It adds to the
// automation object the ten standard methods every equipment driver answers, the
// lifecycle state, the three common settings, the host's equipment manager, the
// settings exchange and snapshot, the device information, the debug-log header and
// the hooks through which a device class adds its own behaviour.
//
// Construction and destruction run virtual hooks of the device class, which C++ cannot
// do from constructors and destructors; create devices with CreateDevice<T>(), which
// runs Initialize() after construction and Destroy() before deletion.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/base_object.h"
#include "automation/device_info.h"
#include "automation/variant.h"
#include "device/settings_window.h"
#include "platform/focus.h"
#include "platform/message_window.h"

namespace eqd {

enum TDeviceState : std::int32_t { dsCreated = 0, dsInited = 1, dsEnabled = 2, dsUnknown = 3 };

// One entry of the settings snapshot.
struct TShortSettingStruct {
  std::string ID;
  Variant Value;
};

// A command the settings window lists in its menu and the device runs on request.
struct TAdditionalAction {
  std::string ID;       // passed to RunAdditionalAction
  std::string Caption;  // the menu entry's text
};

inline constexpr std::uint32_t kNoMainThreadID = 0xFFFFFFFFu;
inline constexpr platform::WindowHandle kNoDeviceHandle = 0xFFFFFFFFu;

class TBaseDevice : public TBaseObject {
 public:
  TBaseDevice();
  ~TBaseDevice() override;

  // Runs once right after construction: hidden window, OnCreate, device information,
  // methods, settings; the state becomes dsCreated.
  void Initialize();
  // Runs once before deletion: disables the device, destroys the hidden window,
  // OnDestroy, drops the equipment manager. Errors of the hooks are swallowed here, as
  // nothing can be reported at release time and the rest must still be freed.
  void Destroy();

  // ---- properties ----
  TDeviceState DeviceState() const { return FDeviceState; }
  bool Enabled() const { return FDeviceState == dsEnabled; }
  // true calls Enable(), false Disable(); the current value does nothing.
  void SetEnabled(bool Value);
  const std::string& DeviceID() const { return FDeviceID; }
  const Variant& EqManager() const { return FEqManager; }
  const TDeviceInfoStruct& DeviceInfo() const { return FDeviceInfo; }
  std::int32_t DefaultTimeOut() const;
  void SetDefaultTimeOut(std::int32_t Value);
  bool EventLogEnabled() const;
  void SetEventLogEnabled(bool Value);
  std::int32_t AddActionsCount() const { return static_cast<std::int32_t>(FAdditionalActions.size()); }
  // nullptr outside 0..AddActionsCount()-1.
  const TAdditionalAction* GetAddAction(std::int32_t Index) const;
  std::string ModelFolder() const { return GetModelFolder(); }
  std::uint32_t MainThreadID() const { return FMainThreadID; }
  const std::string& DeviceFolder() const { return FDeviceFolder; }
  const std::string& Language() const { return FLanguage; }
  platform::WindowHandle DeviceHandle() const { return FDeviceHandle; }
  // Delivers a message to the hidden window (and so to WndProc); 0 after Destroy().
  std::intptr_t SendDeviceMessage(std::uint32_t Msg, std::uintptr_t WParam = 0, std::intptr_t LParam = 0);

  // ---- operations used by the settings window and its pages ----
  // Switches the device on: the trace follows "DebugLogEnabled" (into DeviceFolder),
  // then OnEnable; code 0 makes the state dsEnabled. A failure without a text of the
  // hook's own gets the standard message of its code.
  virtual std::int32_t Enable(std::string& ResultDescription);
  std::int32_t Enable();
  std::int32_t Disable();
  virtual std::string GetDeviceVersion();
  virtual bool DeviceTest(std::string& ResultDescription);
  virtual std::int32_t RunAdditionalAction(const std::string& ID, std::string& ResultDescription);
  // Shows the common settings window with one page of each class, in order; true when
  // it was closed with OK. The device-test entry is offered unless HideDeviceTest.
  bool ShowSettingsForm(const std::vector<TSettingsPageClass>& PageClasses, bool HideDeviceTest);
  // The focus hand-over around the device's modal windows.
  void StoreFocus();
  void RestoreFocus();
  std::size_t FocusDepth() const { return FWindows.Depth(); }

  // ---- settings snapshot ----
  // Takes a snapshot of every setting, or of the named ones (an unknown name holds
  // Empty); a new snapshot replaces the old one.
  void StoreSettings();
  void StoreSettings(const std::vector<std::string>& Settings);
  // Writes the snapshot back (skipping names that are no setting) and empties it.
  void RestoreSettings();
  const std::vector<TShortSettingStruct>& BufSettings() const { return FBufSettings; }

  // ---- host callbacks ----
  // Each raises "Менеджер оборудования недоступен" when no equipment manager is held,
  // and passes on any error of the host.
  std::string GetAppProperty(const std::string& PropName);
  bool DataEvent(const std::string& Event, const std::string& Data, const Variant& ExtData = Variant());
  bool ErrorEvent(const std::string& ErrorName, const std::string& Description, const Variant& ExtData = Variant());
  std::int32_t ShowMessageDlg(const std::string& MsgText, std::int32_t MsgType, std::int32_t MsgButtons,
                              std::int32_t MsgTimeout);
  std::string InputDataDlg(const std::string& Caption, const std::string& DefaultData, const std::string& Description,
                           const std::string& Mask, bool Password, std::int32_t TimeOut);
  bool TaskState(std::int32_t aPercent, const std::string& aDescription);
  // One event into the trace (when it is on) and into the host's event log (when
  // "EventLogEnabled" is true and a manager is held; false otherwise, never an error).
  bool WriteLog(const std::string& Name, const std::string& Text, std::int32_t EventType);
  bool HasEqManager() const;

  // ---- folders ----
  // The host's "DevicesFolder" + delimiter + the folder name made from the DeviceID
  // (FolderNameFromIdentifier: it cannot leave DevicesFolder) + delimiter; empty when
  // either is empty. Nothing is created.
  std::string GetDeviceFolder();
  // The models folder + ModelID + delimiter.
  std::string GetModelFolder() const;
  std::string GetLanguage();
  std::uint32_t FindMainThreadID();

 protected:
  // ---- hooks, in their historical slot order ----
  // Overrides of RegisterSettings, RegisterMethods, OnCreate, OnDestroy, OnSetDeviceInfo
  // and OnEnable call the inherited one first; ShowSettings and DeviceTest replace it.
  virtual std::int32_t EnableHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                     std::string& ResultDescription);
  virtual std::int32_t DoDisable(std::string& ResultDescription);
  virtual std::int32_t DisableHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                      std::string& ResultDescription);
  virtual void RegisterSettings();
  virtual void RegisterMethods();
  virtual void OnSettingsChanged() {}
  virtual void OnSetDeviceInfo() {}
  virtual std::int32_t OnEnable(std::string& ResultDescription);
  virtual std::int32_t OnDisable(std::string& ResultDescription);
  virtual std::int32_t DoCheckHealth(std::string& ResultDescription);
  virtual bool ShowSettings() { return false; }
  virtual void OnCreate() {}
  virtual void OnDestroy() {}
  virtual std::int32_t OnInit(std::string& ResultDescription);
  virtual std::int32_t OnOpen(std::string& ResultDescription);
  virtual void OnClose() {}
  virtual void OnBeforeClose() {}
  // Messages of the hidden window; leaving Msg.Handled false lets the system answer.
  virtual void WndProc(platform::WindowMessage& Msg);

  // Writes the debug-log header when the trace is switched on.
  void BeginDebugLog() override;
  // Fills the device information with the defaults, then OnSetDeviceInfo.
  void SetDefaultDeviceInfo();

  TDeviceState FDeviceState = dsCreated;
  platform::FocusStack FWindows;
  std::string FModelsFolder;
  std::vector<TShortSettingStruct> FBufSettings;
  std::vector<TAdditionalAction> FAdditionalActions;
  Variant FEqManager;
  std::string FDeviceID;
  TDeviceInfoStruct FDeviceInfo;
  std::uint32_t FMainThreadID = kNoMainThreadID;
  std::string FDeviceFolder;
  std::string FLanguage;
  platform::WindowHandle FDeviceHandle = kNoDeviceHandle;

 private:
  Variant InitMethod(SafeArray& Params);
  Variant OpenMethod(SafeArray& Params);
  Variant CloseMethod(SafeArray& Params);
  std::int32_t ShowSettingsDlgHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                      std::string& ResultDescription);
  std::int32_t GetDeviceInfoHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                    std::string& ResultDescription);
  std::int32_t GetSettingsHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                  std::string& ResultDescription);
  std::int32_t SetSettingsHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                  std::string& ResultDescription);
  std::int32_t CheckHealthHandler(Variant& InData, Variant& OutData, std::int32_t TimeOut,
                                  std::string& ResultDescription);
  // Calls a method of the equipment manager; raises when there is none.
  Variant CallEqManager(std::string_view Method, std::vector<Variant>& Args);

  std::unique_ptr<platform::MessageWindow> FWindow;
  bool FInitialized = false;
  bool FDestroyed = false;
};

// Runs Destroy() and deletes the device.
struct TDeviceDeleter {
  void operator()(TBaseDevice* Device) const noexcept;
};
template <class T>
using TDeviceOwner = std::unique_ptr<T, TDeviceDeleter>;

// Creates a device object of class T and initializes it. If the initialization fails,
// the half-made object is destroyed and the error goes on.
template <class T, class... Args>
TDeviceOwner<T> CreateDevice(Args&&... args) {
  TDeviceOwner<T> device(new T(std::forward<Args>(args)...));
  device->Initialize();
  return device;
}

// The path with the platform's delimiter at its end; an empty path becomes the
// delimiter alone.
std::string AddTrailingDelimiter(std::string Path);

}  // namespace eqd
