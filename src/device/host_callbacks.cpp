// Calls back into the host's equipment manager. Every call passes the device
// identifier first; arguments the host may change are passed by reference to locals of
// the call, and only the ones named below are read back.
#include <string>
#include <vector>

#include "automation/errors.h"
#include "automation/value_text.h"
#include "automation/variant_convert.h"
#include "device/base_device.h"
#include "device/device_texts.h"

namespace eqd {

namespace {

// The argument as the host left it: through its reference, or the value the host put
// in the argument's place.
const Variant& Returned(const std::vector<Variant>& args, std::size_t i, const Variant& local) {
  return i < args.size() ? args[i].Deref() : local;
}

bool IsNothing(const Variant& v) {
  return v.IsEmptyOrNull() || (v.Vt() == VT_DISPATCH && v.DispValue() == nullptr);
}

}  // namespace

bool TBaseDevice::HasEqManager() const {
  const Variant& m = FEqManager.Deref();
  return m.Vt() == VT_DISPATCH && m.DispValue() != nullptr;
}

Variant TBaseDevice::CallEqManager(std::string_view Method, std::vector<Variant>& Args) {
  if (!HasEqManager()) throw EDriverError(device_texts::kNoEqManager);
  // A local reference keeps the manager alive even if the host drops it meanwhile
  // (a callback that ends in "Close").
  const DispatchPtr manager = FEqManager.Deref().DispValue();
  return manager->Invoke(Method, Args);
}

std::string TBaseDevice::GetAppProperty(const std::string& PropName) {
  if (!HasEqManager()) throw EDriverError(device_texts::kNoEqManager);
  Variant id(FDeviceID), name(PropName), value{std::string()};
  std::vector<Variant> args{Variant::ByRef(id, false), Variant::ByRef(name, false), Variant::ByRef(value, false)};
  const Variant result = CallEqManager("GetAppProperty", args);
  if (!VarToBool(result)) return {};
  return VarToStr(Returned(args, 2, value));
}

bool TBaseDevice::DataEvent(const std::string& Event, const std::string& Data, const Variant& ExtData) {
  if (!HasEqManager()) throw EDriverError(device_texts::kNoEqManager);
  Variant ext = ExtData.Deref();
  std::vector<Variant> args{Variant(FDeviceID), Variant(Event), Variant(Data), Variant::ByRef(ext, true)};
  const bool answer = VarToBool(CallEqManager("DataEvent", args));
  std::string text = "Event=" + Event + "; Data: " + Data;
  if (const Variant& back = Returned(args, 3, ext); !IsNothing(back)) text += "; ExtData: " + ValueToText(back);
  WriteDebugLog("<-DataEvent", text);
  return answer;
}

bool TBaseDevice::ErrorEvent(const std::string& ErrorName, const std::string& Description, const Variant& ExtData) {
  if (!HasEqManager()) throw EDriverError(device_texts::kNoEqManager);
  Variant ext = ExtData.Deref();
  std::vector<Variant> args{Variant(FDeviceID), Variant(ErrorName), Variant(Description), Variant::ByRef(ext, true)};
  return VarToBool(CallEqManager("ErrorEvent", args));
}

std::int32_t TBaseDevice::ShowMessageDlg(const std::string& MsgText, std::int32_t MsgType, std::int32_t MsgButtons,
                                         std::int32_t MsgTimeout) {
  if (!HasEqManager()) throw EDriverError(device_texts::kNoEqManager);
  Variant type(MsgType), buttons(MsgButtons), timeout(MsgTimeout);
  std::vector<Variant> args{Variant(FDeviceID), Variant(MsgText), Variant::ByRef(type, false),
                            Variant::ByRef(buttons, false), Variant::ByRef(timeout, false)};
  return VarToInt32(CallEqManager("MessageDlg", args));
}

std::string TBaseDevice::InputDataDlg(const std::string& Caption, const std::string& DefaultData,
                                      const std::string& Description, const std::string& Mask, bool Password,
                                      std::int32_t TimeOut) {
  if (!HasEqManager()) throw EDriverError(device_texts::kNoEqManager);
  Variant timeout(TimeOut);
  std::vector<Variant> args{Variant(FDeviceID), Variant(Caption), Variant(DefaultData), Variant(Description),
                            Variant(Mask),      Variant(Password), Variant::ByRef(timeout, false)};
  return VarToStr(CallEqManager("InputDataDlg", args));
}

bool TBaseDevice::TaskState(std::int32_t aPercent, const std::string& aDescription) {
  if (!HasEqManager()) throw EDriverError(device_texts::kNoEqManager);
  Variant percent(aPercent);
  std::vector<Variant> args{Variant(FDeviceID), Variant::ByRef(percent, false), Variant(aDescription)};
  const bool answer = VarToBool(CallEqManager("TaskState", args));
  const std::int32_t left = VarToInt32(Returned(args, 1, percent));
  WriteLog("TaskState",
           "Percent=" + std::to_string(left) + "; Description=" + aDescription +
               "; Result=" + (answer ? "True" : "False"),
           1);
  return answer;
}

}  // namespace eqd
