// Values and their texts: text typed by a person is read as each setting type under any
// locale formats, and any automation value (arrays of any shape, by-reference values,
// odd types) is shown as trace text, read as an array item at any index and converted to
// each plain type. Errors raised are the driver's own; nothing reads outside an array.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "automation/errors.h"
#include "automation/format_settings.h"
#include "automation/value_text.h"
#include "automation/variant_convert.h"
#include "fuzz_check.h"
#include "fuzz_values.h"

namespace {

eqd::TFormatSettings Formats(FuzzedDataProvider& in) {
  eqd::TFormatSettings fs;
  switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: break;  // the defaults
    case 1:
      fs.DecimalSeparator = ",";
      fs.ShortDateFormat = "d/m/yy";
      fs.DateSeparator = "/";
      fs.LongTimeFormat = "h:nn:ss ampm";
      break;
    default:  // whatever a user may have set in the locale
      fs.DecimalSeparator = in.ConsumeRandomLengthString(3);
      fs.DateSeparator = in.ConsumeRandomLengthString(3);
      fs.TimeSeparator = in.ConsumeRandomLengthString(3);
      fs.ShortDateFormat = in.ConsumeRandomLengthString(16);
      fs.LongTimeFormat = in.ConsumeRandomLengthString(16);
      break;
  }
  return fs;
}

template <class F>
void Tolerant(F&& f) {
  try {
    f();
  } catch (const eqd::EDriverError&) {
    // A value that does not convert, an index outside the array: refused, as it should be.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace eqd;
  FuzzedDataProvider in(data, size);
  SetFormatSettings(Formats(in));

  const auto type = static_cast<TDataType>(in.ConsumeIntegralInRange<std::int32_t>(-1, 4));
  const std::string text = in.ConsumeRandomLengthString(64);
  Tolerant([&] {
    const Variant v = TextToValue(type, text);
    switch (type) {
      case dtNumber: EQ_FUZZ_CHECK(v.Vt() == VT_R8); break;
      case dtString: EQ_FUZZ_CHECK(v.Vt() == VT_BSTR && v.StrValue() == text); break;
      case dtDateTime: EQ_FUZZ_CHECK(v.Vt() == VT_DATE || (v.Vt() == VT_BSTR && v.StrValue() == text)); break;
      case dtBoolean: EQ_FUZZ_CHECK(v.Vt() == VT_BOOL); break;
      default: EQ_FUZZ_CHECK(!"an unknown type must be refused");
    }
    ValueToText(v);
  });

  fuzz::TFuzzValues values(in, nullptr);
  const Variant value = values.Value();
  ValueToText(value);
  const auto index = in.PickValueInArray<std::int32_t>({0, 1, -1, in.ConsumeIntegral<std::int32_t>()});
  Tolerant([&] {
    const bool assigned = IsArrayItemAssigned(value, index);
    EQ_FUZZ_CHECK(assigned == !GetArrayItem(value, index).IsEmpty());
    GetArrayItemStr(value, index, "default");
  });
  Tolerant([&] { VarToInt32(value); });
  Tolerant([&] { VarToInt64(value); });
  Tolerant([&] { VarToDouble(value); });
  Tolerant([&] { VarToBool(value); });
  Tolerant([&] { VarToStr(value); });
  Tolerant([&] { VarToDate(value); });
  Tolerant([&] { VarToCurrency(value); });
  return 0;
}
