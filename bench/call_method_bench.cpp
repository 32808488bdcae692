// The dispatcher's own cost: a public method of the e-mail driver called through
// CallMethod with the trace off, as the COM layer calls it for every Invoke. The method
// ("ClearRecepients" on an enabled device) does almost nothing itself, so the figure is
// the price of the call: the method entry, the parameter copies, the TimeOut check and
// the result. The second benchmark adds the name lookup that GetIDsOfNames does.
#include <benchmark/benchmark.h>

#include <sstream>
#include <stdexcept>

#include "host/driver_dispatch.h"
#include "host/equipment_manager.h"
#include "host/settings_file.h"
#include "mail/driver.h"

namespace {

using namespace eqd;

// A driver made, initialised, opened and enabled the way a host does it.
class TEnabledDriver {
 public:
  TEnabledDriver()
      : manager_(std::make_shared<THostEquipmentManager>(THostFoldersStruct{"", "", "ru"}, false, false, in_, log_)),
        dispatch_(std::shared_ptr<TBaseObject>(CreateDevice<TDriver>().release(), TDeviceDeleter())) {
    std::vector<Variant> init{Variant(manager_), Variant()};
    dispatch_.Invoke("Init", init);
    std::vector<Variant> open{Variant("DEV1"), Variant()};
    dispatch_.Invoke("Open", open);
    std::vector<Variant> set{SetSettingsInData({{"SmtpServerName", Variant("127.0.0.1")},
                                                {"SmtpServerUser", Variant("robot")},
                                                {"SmtpServerPassword", Variant("secret")},
                                                {"UserEmail", Variant("robot@example.test")}}),
                             Variant(), Variant(std::int32_t{0})};
    dispatch_.Invoke("SetSettings", set);
    std::vector<Variant> enable{Variant(), Variant(), Variant(std::int32_t{0})};
    if (!dispatch_.Invoke("Enable", enable).BoolValue()) throw std::runtime_error("the driver did not enable");
  }
  TBaseObject& Object() { return dispatch_.Object(); }

 private:
  std::istringstream in_;
  std::ostringstream log_;
  DispatchPtr manager_;
  TDriverDispatch dispatch_;
};

SafeArray PublicParams() {
  SafeArray params({ArrayBound{0, 3}});
  params.Elements()[2] = Variant(std::int32_t{30});
  return params;
}

void BM_CallMethodPublic(benchmark::State& state) {
  TEnabledDriver driver;
  TBaseObject& object = driver.Object();
  const std::int32_t id = object.FindMethod("ClearRecepients");
  SafeArray params = PublicParams();
  Variant result;
  for (auto _ : state) {
    if (object.CallMethod(id, result, params) != hrOk || !result.BoolValue()) state.SkipWithError("call failed");
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_CallMethodPublic);

void BM_FindMethodAndCallPublic(benchmark::State& state) {
  TEnabledDriver driver;
  TBaseObject& object = driver.Object();
  SafeArray params = PublicParams();
  Variant result;
  for (auto _ : state) {
    const std::int32_t id = object.FindMethod("clearrecepients");  // letter case as a host may spell it
    if (object.CallMethod(id, result, params) != hrOk || !result.BoolValue()) state.SkipWithError("call failed");
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_FindMethodAndCallPublic);

}  // namespace
