// The driver object as a host drives it: a run of calls by method name (the real names
// in any letter case, or any text, or a raw DISPID), each with a parameter array of any
// shape, bounds, element types and by-reference values. Every call answers S_OK,
// E_INVALIDARG or E_FAIL, or raises the driver's own error from a method with its own
// argument list; a public method answers a Boolean and, on failure, [code, text] in
// OutData; nothing reads outside an array, nothing leaks.
//
// Sends go nowhere: the harness points the driver at a closed port on 127.0.0.1 after
// every call. Files stay inside a fresh folder of the harness's own: the temporary and
// data folders point there, the host names no folders and device identifiers are plain.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "automation/ascii_case.h"
#include "automation/errors.h"
#include "fuzz_check.h"
#include "fuzz_values.h"
#include "mail/driver.h"

namespace {

namespace fs = std::filesystem;

fs::path gRoot;  // this process's folder, removed at exit

// The host's equipment manager: no folders of the host's (the driver then keeps to the
// data folder), any other call answered with a value from the input, which may also
// change its first argument.
class TFuzzManager : public eqd::DispatchObject {
 public:
  eqd::Variant Invoke(std::string_view name, std::vector<eqd::Variant>& args) override {
    if (name == "GetAppProperty") return eqd::Variant(std::string());
    if (values == nullptr) return eqd::Variant();
    if (!args.empty() && input->ConsumeBool()) args[0] = values->Value();
    return values->Value();
  }
  FuzzedDataProvider* input = nullptr;
  eqd::fuzz::TFuzzValues* values = nullptr;
};

std::string MangleCase(FuzzedDataProvider& in, std::string name) {
  for (char& c : name)
    if (in.ConsumeBool()) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c >= 'A' && c <= 'Z' ? c + 32 : c);
  return name;
}

// The device identifier names folders (its temporary-file folder, its trace folder);
// the harness gives only plain names so that a run never writes outside its folder.
void SafeDeviceID(FuzzedDataProvider& in, eqd::SafeArray& params) {
  if (params.ElementCount() == 0 || params.Elements()[0].Deref().Vt() != eqd::VT_BSTR) return;
  params.Elements()[0] = eqd::Variant(in.PickValueInArray<const char*>({"DEV1", "Устройство 2", "", " "}));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (fs::temp_directory_path() / "eqd-fuzz-call-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  gRoot = pattern;
  fs::create_directories(gRoot / "tmp");
  ::setenv("TMPDIR", (gRoot / "tmp").c_str(), 1);
  ::setenv("VLM_DODEZOZ41_DATA_DIR", (gRoot / "data").c_str(), 1);
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(gRoot, ec);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace eqd;
  // Traces and logs grow with every run that switches them on.
  static unsigned runs = 0;
  if (++runs % 4096 == 0) {
    std::error_code ec;
    fs::remove_all(gRoot / "data", ec);
  }

  FuzzedDataProvider in(data, size);
  const auto manager = std::make_shared<TFuzzManager>();
  fuzz::TFuzzValues values(in, manager);
  manager->input = &in;
  manager->values = &values;
  {
    auto driver = CreateDevice<TDriver>();
    const std::size_t methodCount = driver->Methods().size();
    for (int call = 0; call < 8 && in.remaining_bytes() > 0; ++call) {
      std::int32_t dispId = -1;
      std::string name;
      switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: dispId = in.ConsumeIntegral<std::int32_t>(); break;
        case 1: name = values.Text(24); break;
        default: name = MangleCase(in, driver->Methods()[in.ConsumeIntegralInRange<std::size_t>(0, methodCount - 1)].Name);
      }
      if (!name.empty() || dispId == -1) dispId = driver->FindMethod(name);
      SafeArray params = values.Array();
      const bool known = dispId >= 0 && static_cast<std::size_t>(dispId) < methodCount;
      if (known && AsciiSameText(driver->Methods()[static_cast<std::size_t>(dispId)].Name, "Open"))
        SafeDeviceID(in, params);
      const bool isPublic = known && driver->Methods()[static_cast<std::size_t>(dispId)].IsPublic;

      Variant result;
      std::int32_t hr = hrOk;
      try {
        hr = driver->CallMethod(dispId, result, params);
      } catch (const EDriverError&) {
        EQ_FUZZ_CHECK(known && !isPublic);  // only methods with their own argument list raise
      }
      EQ_FUZZ_CHECK(hr == hrOk || hr == hrInvalidArg || hr == hrFail);
      EQ_FUZZ_CHECK(known || hr == hrFail);
      if (isPublic && hr == hrOk) {
        EQ_FUZZ_CHECK(result.Vt() == VT_BOOL);
        if (!result.BoolValue() && params.ElementCount() > 1) {
          const Variant& out = params.Elements()[1];
          EQ_FUZZ_CHECK(out.IsArray() && out.ArrayValue() != nullptr && out.ArrayValue()->ElementCount() == 2);
          EQ_FUZZ_CHECK(out.ArrayValue()->Elements()[0].Vt() == VT_I4 && out.ArrayValue()->Elements()[0].IntValue() != 0);
          EQ_FUZZ_CHECK(out.ArrayValue()->Elements()[1].Vt() == VT_BSTR && !out.ArrayValue()->Elements()[1].StrValue().empty());
        }
      }
      driver->SetSettingValue("SmtpServerName", Variant("127.0.0.1"));
      driver->SetSettingValue("SmtpServerPort", Variant("1"));
    }
  }
  manager->values = nullptr;
  return 0;
}
