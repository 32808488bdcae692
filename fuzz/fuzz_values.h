// Automation values made from fuzzer input: every type code the core knows, arrays of any
// number of dimensions with any lower bounds, by-reference values, and the odd types a
// COM host may pass (an array variant without data, a null object, codes the core does
// not interpret).
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cstdint>
#include <deque>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "automation/variant.h"

namespace eqd::fuzz {

class TFuzzValues {
 public:
  // `object` is what a VT_DISPATCH value refers to (a null object is made too).
  TFuzzValues(FuzzedDataProvider& in, DispatchPtr object) : in_(in), object_(std::move(object)) {}

  Variant Value(int depth = 0) {
    switch (in_.ConsumeIntegralInRange<int>(0, 22)) {
      case 0: return Variant();
      case 1: return Variant::Null();
      case 2: return Variant::I2(in_.ConsumeIntegral<std::int16_t>());
      case 3: return Variant(in_.ConsumeIntegral<std::int32_t>());
      case 4: return Variant::R4(Float<float>());
      case 5: return Variant(Float<double>());
      case 6: return Variant(Currency{in_.ConsumeIntegral<std::int64_t>()});
      case 7: return Variant(DateValue{Float<double>()});
      case 8: case 9: return Variant(Text());
      case 10: return in_.ConsumeBool() ? Variant(object_) : Variant(DispatchPtr());
      case 11: return Variant::Error(in_.ConsumeIntegral<std::int32_t>());
      case 12: return Variant(in_.ConsumeBool());
      case 13: return Variant::I1(in_.ConsumeIntegral<std::int8_t>());
      case 14: return Variant::UI1(in_.ConsumeIntegral<std::uint8_t>());
      case 15: return Variant::UI2(in_.ConsumeIntegral<std::uint16_t>());
      case 16: return Variant::UI4(in_.ConsumeIntegral<std::uint32_t>());
      case 17: return Variant::I8(in_.ConsumeIntegral<std::int64_t>());
      case 18: return Variant::UI8(in_.ConsumeIntegral<std::uint64_t>());
      case 19: return Variant::OfType(in_.PickValueInArray({VT_DECIMAL, VT_UNKNOWN, VT_INT, VT_UINT, VT_VARIANT}));
      case 20:
        if (depth >= kMaxDepth) return Variant();
        return Variant(Array(depth + 1), ElementType());
      case 21: return Variant::EmptyArray(ElementType());
      default: {
        if (depth >= kMaxDepth) return Variant();
        // The target lives as long as this object, as a host's variable outlives its call.
        Variant& target = refs_.emplace_back(Value(depth + 1));
        return Variant::ByRef(target, in_.ConsumeBool());
      }
    }
  }

  // An array of 0 to 3 dimensions, each with a lower bound anywhere in the 32-bit range
  // (near its ends too) and a few elements.
  SafeArray Array(int depth = 0) {
    std::vector<ArrayBound> bounds(in_.ConsumeIntegralInRange<std::size_t>(0, 3));
    std::size_t total = 1;
    for (ArrayBound& b : bounds) {
      b.LowBound = in_.PickValueInArray<std::int32_t>(
          {0, 1, -1, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(),
           in_.ConsumeIntegral<std::int32_t>()});
      b.Count = in_.ConsumeIntegralInRange<std::uint32_t>(0, static_cast<std::uint32_t>(kMaxElements / total));
      total *= b.Count == 0 ? 1 : b.Count;
    }
    SafeArray a(std::move(bounds));
    for (Variant& e : a.Elements()) e = Value(depth);
    return a;
  }

  std::string Text(std::size_t maxLength = 64) { return in_.ConsumeRandomLengthString(maxLength); }

 private:
  static constexpr int kMaxDepth = 3;
  static constexpr std::size_t kMaxElements = 8;

  VarType ElementType() { return in_.PickValueInArray({VT_VARIANT, VT_VARIANT, VT_BSTR, VT_I4, VT_R8, VT_BOOL}); }

  // Any bit pattern: NaNs, infinities and subnormals included.
  template <class T>
  T Float() {
    switch (in_.ConsumeIntegralInRange<int>(0, 2)) {
      case 0: return in_.ConsumeFloatingPoint<T>();
      case 1: return in_.ConsumeFloatingPointInRange<T>(-1e6, 1e6);
      default: {
        using TBits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
        return std::bit_cast<T>(in_.ConsumeIntegral<TBits>());
      }
    }
  }

  FuzzedDataProvider& in_;
  DispatchPtr object_;
  std::deque<Variant> refs_;
};

}  // namespace eqd::fuzz
