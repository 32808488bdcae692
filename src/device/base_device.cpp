#include "device/base_device.h"

#include "automation/errors.h"
#include "automation/file_names.h"
#include "automation/result_codes.h"
#include "automation/value_text.h"
#include "automation/variant_convert.h"
#include "device/device_texts.h"
#include "platform/files.h"
#include "platform/main_thread.h"
#include "platform/os_error.h"

namespace eqd {

namespace {

// Element i of the parameter array, or nullptr when the array has none.
Variant* Param(SafeArray& params, std::size_t i) {
  if (params.DimCount() != 1 || i >= params.ElementCount()) return nullptr;
  return &params.Elements()[i];
}

// The Boolean result and the description of "Init" and "Open".
Variant PrivateResult(SafeArray& params, std::int32_t code, const std::string& description) {
  if (Variant* out = Param(params, 1)) *out = Variant(GetResultDescription(code, description));
  return Variant(code == rcOk);
}

}  // namespace

std::string AddTrailingDelimiter(std::string Path) {
  if (Path.empty() || Path.back() != platform::kPathDelimiter) Path += platform::kPathDelimiter;
  return Path;
}

TBaseDevice::TBaseDevice() = default;

TBaseDevice::~TBaseDevice() = default;

void TBaseDevice::Initialize() {
  if (FInitialized) return;
  FInitialized = true;
  FMainThreadID = kNoMainThreadID;
  FEqManager = Variant();
  FDeviceID.clear();
  FDebugLogDir.clear();
  FModelsFolder.clear();
  FWindow = std::make_unique<platform::MessageWindow>([this](platform::WindowMessage& m) { WndProc(m); });
  if (const platform::OsErrorCode error = FWindow->Error(); error != 0) {
    FWindow.reset();
    throw EOSError(platform::OsErrorText(error));
  }
  FDeviceHandle = FWindow->Handle();
  OnCreate();
  SetDefaultDeviceInfo();
  RegisterMethods();
  RegisterSettings();
  FDeviceState = dsCreated;
}

void TBaseDevice::Destroy() {
  if (FDestroyed) return;
  FDestroyed = true;
  try {
    Disable();
  } catch (...) {
  }
  FWindow.reset();
  FDeviceHandle = kNoDeviceHandle;
  try {
    OnDestroy();
  } catch (...) {
  }
  FEqManager = Variant();
}

void TDeviceDeleter::operator()(TBaseDevice* Device) const noexcept {
  if (Device == nullptr) return;
  Device->Destroy();
  delete Device;
}

std::intptr_t TBaseDevice::SendDeviceMessage(std::uint32_t Msg, std::uintptr_t WParam, std::intptr_t LParam) {
  return FWindow ? FWindow->Send(Msg, WParam, LParam) : 0;
}

void TBaseDevice::WndProc(platform::WindowMessage&) {}

// ---- properties ----

void TBaseDevice::SetEnabled(bool Value) {
  if (Value == Enabled()) return;
  if (Value)
    Enable();
  else
    Disable();
}

std::int32_t TBaseDevice::DefaultTimeOut() const { return GetSettingValueInt("DefaultTimeOut"); }
void TBaseDevice::SetDefaultTimeOut(std::int32_t Value) { SetSettingValue("DefaultTimeOut", Variant(Value)); }
bool TBaseDevice::EventLogEnabled() const { return GetSettingValueBool("EventLogEnabled"); }
void TBaseDevice::SetEventLogEnabled(bool Value) { SetSettingValue("EventLogEnabled", Variant(Value)); }

// ---- registration ----

void TBaseDevice::RegisterSettings() {
  AddSetting("DefaultTimeOut", dtNumber, Variant(std::int32_t{120}), false, device_texts::kDefaultTimeOutName,
             device_texts::kDefaultTimeOutDescription);
  AddSetting("EventLogEnabled", dtBoolean, Variant(false), false, device_texts::kEventLogEnabledName,
             device_texts::kEventLogEnabledDescription);
  AddSetting("DebugLogEnabled", dtBoolean, Variant(false), false, device_texts::kDebugLogEnabledName,
             device_texts::kDebugLogEnabledDescription);
}

void TBaseDevice::RegisterMethods() {
  AddPrivateMethod("Init", [this](SafeArray& p) { return InitMethod(p); });
  AddPrivateMethod("Open", [this](SafeArray& p) { return OpenMethod(p); });
  AddPrivateMethod("Close", [this](SafeArray& p) { return CloseMethod(p); });
  AddPublicMethod("ShowSettingsDlg", [this](Variant& i, Variant& o, std::int32_t t, std::string& d) {
    return ShowSettingsDlgHandler(i, o, t, d);
  });
  AddPublicMethod("GetDeviceInfo", [this](Variant& i, Variant& o, std::int32_t t, std::string& d) {
    return GetDeviceInfoHandler(i, o, t, d);
  });
  // Through the virtual slots, so a device class that replaces these handlers is called.
  AddPublicMethod("Enable", [this](Variant& i, Variant& o, std::int32_t t, std::string& d) {
    return EnableHandler(i, o, t, d);
  });
  AddPublicMethod("Disable", [this](Variant& i, Variant& o, std::int32_t t, std::string& d) {
    return DisableHandler(i, o, t, d);
  });
  AddPublicMethod("GetSettings", [this](Variant& i, Variant& o, std::int32_t t, std::string& d) {
    return GetSettingsHandler(i, o, t, d);
  });
  AddPublicMethod("SetSettings", [this](Variant& i, Variant& o, std::int32_t t, std::string& d) {
    return SetSettingsHandler(i, o, t, d);
  });
  AddPublicMethod("CheckHealth", [this](Variant& i, Variant& o, std::int32_t t, std::string& d) {
    return CheckHealthHandler(i, o, t, d);
  });
  // The host can always switch the trace off and let go of the device, even when the
  // day's trace file cannot be written.
  for (const char* name : {"Close", "Disable", "SetSettings", "Enable"})
    FindOrAddMethod(name).RunsDespiteTraceFailure = true;
}

// ---- private methods ----

Variant TBaseDevice::InitMethod(SafeArray& Params) {
  FEqManager = Variant();
  std::int32_t code = rcInvalidParameters;
  std::string description;
  // Only a live object will do: the host's "Nothing" is refused like any other
  // non-object, rather than held and failing at the first callback.
  if (const Variant* manager = Param(Params, 0);
      manager != nullptr && manager->Deref().Vt() == VT_DISPATCH && manager->Deref().DispValue() != nullptr) {
    FEqManager = manager->Deref();
    code = OnInit(description);
  }
  Variant result = PrivateResult(Params, code, description);
  if (code == rcOk) {
    FDeviceState = dsInited;
    FModelsFolder = AddTrailingDelimiter(GetAppProperty("ModelsFolder"));
    FLanguage = GetLanguage();
  }
  return result;
}

Variant TBaseDevice::OpenMethod(SafeArray& Params) {
  FDeviceID.clear();
  std::int32_t code = rcInvalidParameters;
  std::string description;
  if (const Variant* id = Param(Params, 0); id != nullptr && id->Deref().Vt() == VT_BSTR) {
    FDeviceID = id->Deref().StrValue();
    FMainThreadID = FindMainThreadID();
    FDeviceFolder = GetDeviceFolder();
    code = OnOpen(description);
  }
  return PrivateResult(Params, code, description);
}

Variant TBaseDevice::CloseMethod(SafeArray&) {
  OnBeforeClose();
  FDeviceID.clear();
  FEqManager = Variant();
  OnClose();
  return Variant(true);
}

std::int32_t TBaseDevice::OnInit(std::string&) { return rcOk; }
std::int32_t TBaseDevice::OnOpen(std::string&) { return rcOk; }

// ---- enabling ----

std::int32_t TBaseDevice::Enable(std::string& ResultDescription) {
  FDebugLogDir = FDeviceFolder;
  SetDebugLogEnabled(GetSettingValueBool("DebugLogEnabled"));
  const std::int32_t code = OnEnable(ResultDescription);
  if (code == rcOk)
    FDeviceState = dsEnabled;
  else if (ResultDescription.empty())
    ResultDescription = GetDriverResultDescription(code);
  return code;
}

std::int32_t TBaseDevice::Enable() {
  std::string description;
  return Enable(description);
}

std::int32_t TBaseDevice::Disable() {
  std::string description;
  return DoDisable(description);
}

std::int32_t TBaseDevice::DoDisable(std::string& ResultDescription) {
  const std::int32_t code = OnDisable(ResultDescription);
  if (code == rcOk) FDeviceState = dsInited;
  return code;
}

std::int32_t TBaseDevice::OnEnable(std::string&) { return rcOk; }
std::int32_t TBaseDevice::OnDisable(std::string&) { return rcOk; }

std::int32_t TBaseDevice::EnableHandler(Variant&, Variant&, std::int32_t, std::string& ResultDescription) {
  return Enable(ResultDescription);
}

std::int32_t TBaseDevice::DisableHandler(Variant&, Variant&, std::int32_t, std::string& ResultDescription) {
  return DoDisable(ResultDescription);
}

// A disabled device is switched on for the check and off again; an enabled one is
// healthy as it stands. The answer is always the standard message of the code.
std::int32_t TBaseDevice::DoCheckHealth(std::string& ResultDescription) {
  const bool wasEnabled = Enabled();
  const std::int32_t code = wasEnabled ? rcOk : Enable(ResultDescription);
  ResultDescription = GetDriverResultDescription(code);
  if (!wasEnabled) Disable();
  return code;
}

std::int32_t TBaseDevice::CheckHealthHandler(Variant&, Variant&, std::int32_t, std::string& ResultDescription) {
  return DoCheckHealth(ResultDescription);
}

std::int32_t TBaseDevice::ShowSettingsDlgHandler(Variant&, Variant&, std::int32_t, std::string&) {
  if (!FDeviceInfo.IsSettingsDlgExist) return rcCommandNotSupported;
  return ShowSettings() ? rcOk : rcCancelledByUser;
}

// ---- focus ----

void TBaseDevice::StoreFocus() { FWindows.Store(); }
void TBaseDevice::RestoreFocus() { FWindows.Restore(); }

// ---- folders ----

std::string TBaseDevice::GetDeviceFolder() {
  const std::string devices = GetAppProperty("DevicesFolder");
  if (devices.empty() || FDeviceID.empty()) return {};
  return AddTrailingDelimiter(devices) + FolderNameFromIdentifier(FDeviceID) + platform::kPathDelimiter;
}

std::string TBaseDevice::GetModelFolder() const { return AddTrailingDelimiter(FModelsFolder + FDeviceInfo.ModelID); }

std::string TBaseDevice::GetLanguage() { return GetAppProperty("Language"); }

std::uint32_t TBaseDevice::FindMainThreadID() { return platform::FindMainThreadId(); }

}  // namespace eqd
