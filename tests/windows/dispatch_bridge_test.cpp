#include "com/win32/dispatch_bridge.h"

#include <gtest/gtest.h>

#include "com_test_support.h"

namespace eqd::com {
namespace {

// A core object that answers every call: it records the name and arguments, changes
// its second argument and answers a text.
class TRecorder : public DispatchObject {
 public:
  Variant Invoke(std::string_view name, std::vector<Variant>& args) override {
    if (name == "Fail") throw EDriverError("Менеджер оборудования недоступен");
    Names.push_back(std::string(name));
    Seen = args;
    if (args.size() > 1) args[1] = Variant(42);
    return Variant("ответ");
  }
  std::vector<std::string> Names;
  std::vector<Variant> Seen;
};

TEST(DispatchBridgeTest, CallsCrossComBothWaysWithReferencesWrittenBack) {
  auto recorder = std::make_shared<TRecorder>();
  TComPtr<IDispatch> com = TComPtr<IDispatch>::Attach(MakeComDispatch(recorder));
  THostDispatch host(com.Get());

  Variant byRef("before");
  std::vector<Variant> args{Variant("значение"), Variant::ByRef(byRef)};
  const Variant result = host.Invoke("GetAppProperty", args);
  EXPECT_EQ(result.StrValue(), "ответ");
  EXPECT_EQ(recorder->Names, std::vector<std::string>{"GetAppProperty"});
  ASSERT_EQ(recorder->Seen.size(), 2u);
  EXPECT_EQ(recorder->Seen[0].StrValue(), "значение");
  EXPECT_EQ(recorder->Seen[1].StrValue(), "before");
  EXPECT_EQ(byRef.Vt(), eqd::VT_I4);
  EXPECT_EQ(byRef.IntValue(), 42);
  EXPECT_EQ(host.Identity(), com.Get());

  // The wrapper turns back into the same COM object.
  IDispatch* again = MakeComDispatch(std::make_shared<THostDispatch>(com.Get()));
  EXPECT_EQ(again, com.Get());
  again->Release();
}

TEST(DispatchBridgeTest, TheCalleesErrorReachesTheCallerWithItsText) {
  TComPtr<IDispatch> com = TComPtr<IDispatch>::Attach(MakeComDispatch(std::make_shared<TRecorder>()));
  THostDispatch host(com.Get());
  std::vector<Variant> none;
  try {
    host.Invoke("Fail", none);
    FAIL() << "no error";
  } catch (const EHostCallError& e) {
    EXPECT_STREQ(e.what(), "Менеджер оборудования недоступен");
  }
}

TEST(DispatchBridgeTest, CreatesRegisteredClassesByProgIDAndCallsThemByName) {
  // A class every Windows system registers: the script runtime's dictionary.
  DispatchPtr dictionary = CreateComObject("Scripting.Dictionary");
  std::vector<Variant> add{Variant("ключ"), Variant(5)};
  dictionary->Invoke("Add", add);
  std::vector<Variant> none;
  EXPECT_EQ(dictionary->Invoke("Count", none).IntValue(), 1);  // a property, read as a call
  std::vector<Variant> key{Variant("ключ")};
  EXPECT_EQ(dictionary->Invoke("Item", key).IntValue(), 5);

  try {
    CreateComObject("VxEq.NoSuchClass");
    FAIL() << "no error";
  } catch (const EHostCallError& e) {
    EXPECT_NE(std::string(e.what()).find("VxEq.NoSuchClass"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace eqd::com
