// A driver object as a host holds it in tests: made as the class factory makes it,
// given eqhost's equipment manager, called by method name only.
#pragma once

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "automation/variant_convert.h"
#include "host/driver_dispatch.h"
#include "host/equipment_manager.h"
#include "host/settings_file.h"
#include "mail/driver.h"

namespace eqd::test {

struct TCallResult {
  bool Result = false;
  Variant Out;
  // [code, description] of a failed call; 0 and "" for a call that succeeded.
  std::int32_t Code() const { return Result ? 0 : VarToInt32(Out.ArrayValue()->Elements()[0]); }
  std::string Text() const { return Result ? "" : VarToStr(Out.ArrayValue()->Elements()[1]); }
};

class TDriverSession {
 public:
  TDriverSession()
      : FManager(std::make_shared<THostEquipmentManager>(THostFoldersStruct{"", "", "ru"}, false, false, FIn, FLog)) {
    std::shared_ptr<TBaseObject> object(CreateDevice<TDriver>().release(), TDeviceDeleter());
    FDriver = dynamic_cast<TDriver*>(object.get());
    FDispatch = std::make_unique<TDriverDispatch>(std::move(object));
  }

  TDriver& Driver() { return *FDriver; }

  TCallResult Call(const std::string& method, Variant inData = Variant()) {
    std::vector<Variant> args{std::move(inData), Variant(), Variant(std::int32_t{0})};
    const Variant result = FDispatch->Invoke(method, args);
    return {result.BoolValue(), args[1]};
  }

  // Init with the manager, then Open with the device identifier.
  void Open(const std::string& deviceId) {
    std::vector<Variant> init{Variant(DispatchPtr(FManager)), Variant()};
    FDispatch->Invoke("Init", init);
    std::vector<Variant> open{Variant(deviceId), Variant()};
    FDispatch->Invoke("Open", open);
  }

  TCallResult Set(const std::map<std::string, Variant>& values) {
    std::vector<TSettingValueStruct> list;
    for (const auto& [id, value] : values) list.push_back({id, value});
    return Call("SetSettings", SetSettingsInData(list));
  }

  // Drops the driver object, as the host's final release does.
  void Release() { FDispatch.reset(); }

 private:
  std::istringstream FIn;
  std::ostringstream FLog;
  DispatchPtr FManager;
  TDriver* FDriver = nullptr;
  std::unique_ptr<TDriverDispatch> FDispatch;
};

inline Variant Arr(std::vector<Variant> items) { return Variant::Array(std::move(items)); }

}  // namespace eqd::test
