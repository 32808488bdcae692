// Automation values: our own variant type that keeps the automation type codes, so the
// whole core can be built and tested without COM. The COM layer converts these to and
// from VARIANT/SAFEARRAY/BSTR at the boundary. Strings are UTF-8 inside the core.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace eqd {

// Automation type codes, numerically equal to the platform's VARENUM values.
enum VarType : std::uint16_t {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_TYPEMASK = 0x0FFF,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
};

class Variant;

// A callable automation object (what a VT_DISPATCH value refers to): the host's
// equipment manager, seen from the core. Arguments are positional; the callee may
// change any of them, and the caller sees the change (by-reference semantics).
class DispatchObject {
 public:
  virtual ~DispatchObject() = default;
  virtual Variant Invoke(std::string_view name, std::vector<Variant>& args) = 0;
  // The address shown for this object in trace text; the COM wrapper reports the
  // host's own interface pointer here.
  virtual const void* Identity() const { return this; }
};
using DispatchPtr = std::shared_ptr<DispatchObject>;

// One dimension of an array: its lower bound and its number of elements.
struct ArrayBound {
  std::int32_t LowBound = 0;
  std::uint32_t Count = 0;
};

// A SAFEARRAY-shaped array: any number of dimensions, each with its own lower bound.
// Elements are stored with the first dimension varying fastest, as SAFEARRAY does.
class SafeArray {
 public:
  SafeArray() = default;
  explicit SafeArray(std::vector<ArrayBound> bounds);

  std::size_t DimCount() const { return bounds_.size(); }
  const ArrayBound& Bound(std::size_t dim) const { return bounds_.at(dim); }  // 0-based dimension
  std::int64_t LowBound(std::size_t dim) const { return Bound(dim).LowBound; }
  std::int64_t HighBound(std::size_t dim) const {
    return std::int64_t{Bound(dim).LowBound} + std::int64_t{Bound(dim).Count} - 1;
  }
  std::size_t ElementCount() const;

  // Access by one index per dimension (in dimension order); an index outside its
  // bounds raises ERangeError.
  Variant& At(std::initializer_list<std::int64_t> indices);
  const Variant& At(std::initializer_list<std::int64_t> indices) const;
  Variant& At(const std::vector<std::int64_t>& indices);
  const Variant& At(const std::vector<std::int64_t>& indices) const;

  // Flat storage, first dimension fastest.
  std::vector<Variant>& Elements() { return elements_; }
  const std::vector<Variant>& Elements() const { return elements_; }

 private:
  template <typename It>
  std::size_t Offset(It first, It last) const;

  std::vector<ArrayBound> bounds_;
  std::vector<Variant> elements_;
};

// Currency: a 64-bit integer scaled by 10 000.
struct Currency {
  std::int64_t Scaled = 0;
  friend bool operator==(Currency, Currency) = default;
};

// A decimal number as the platform's DECIMAL holds it: a 96-bit unsigned integer (Hi32
// above Lo64), a sign, and a scale, the power of ten (0..28) it is divided by.
struct Decimal {
  std::uint8_t Scale;
  bool Negative;
  std::uint32_t Hi32;
  std::uint64_t Lo64;
  friend bool operator==(const Decimal&, const Decimal&) = default;
};

// Automation date: days since 1899-12-30, time of day as the fraction.
struct DateValue {
  double Days = 0;
  friend bool operator==(DateValue, DateValue) = default;
};

class Variant {
 public:
  Variant() = default;
  Variant(const Variant& other);
  Variant(Variant&& other) noexcept = default;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept = default;
  ~Variant() = default;

  // Plain constructors pick the usual automation type for a C++ value.
  Variant(bool value) : vt_(VT_BOOL) { num_.b = value; }
  Variant(std::int32_t value) : vt_(VT_I4) { num_.i = value; }
  Variant(double value) : vt_(VT_R8) { num_.d = value; }
  Variant(Currency value) : vt_(VT_CY) { num_.i = value.Scaled; }
  Variant(DateValue value) : vt_(VT_DATE) { num_.d = value.Days; }
  Variant(Decimal value) : vt_(VT_DECIMAL), dec_(value) {}
  Variant(std::string value) : vt_(VT_BSTR), str_(std::move(value)) {}
  Variant(std::string_view value) : Variant(std::string(value)) {}
  Variant(const char* value) : Variant(std::string(value)) {}
  Variant(DispatchPtr value) : vt_(VT_DISPATCH), disp_(std::move(value)) {}
  Variant(SafeArray value, VarType elementType = VT_VARIANT);

  static Variant Null();
  static Variant I2(std::int16_t v);
  static Variant I1(std::int8_t v);
  static Variant UI1(std::uint8_t v);
  static Variant UI2(std::uint16_t v);
  static Variant UI4(std::uint32_t v);
  static Variant I8(std::int64_t v);
  static Variant UI8(std::uint64_t v);
  static Variant Int(std::int32_t v);    // VT_INT
  static Variant UInt(std::uint32_t v);  // VT_UINT
  static Variant R4(float v);
  static Variant Error(std::int32_t scode);
  // An array variant with no array data behind it (a SAFEARRAY pointer of NULL).
  static Variant EmptyArray(VarType elementType = VT_VARIANT);
  // A one-dimensional, zero-based array of variants.
  static Variant Array(std::vector<Variant> items);
  // A by-reference value: vt is VT_BYREF | the target's base type, or
  // VT_BYREF | VT_VARIANT when asVariant is set. The target must outlive this value.
  static Variant ByRef(Variant& target, bool asVariant = true);
  // A value of some type this core does not interpret (VT_UNKNOWN, ...).
  static Variant OfType(VarType vt);

  VarType Vt() const { return static_cast<VarType>(vt_); }
  VarType BaseType() const { return static_cast<VarType>(vt_ & VT_TYPEMASK); }
  bool IsEmpty() const { return vt_ == VT_EMPTY; }
  bool IsNull() const { return vt_ == VT_NULL; }
  bool IsEmptyOrNull() const { return vt_ == VT_EMPTY || vt_ == VT_NULL; }
  bool IsArray() const { return (vt_ & VT_ARRAY) != 0; }
  bool IsByRef() const { return (vt_ & VT_BYREF) != 0; }

  // Follows every by-reference link down to the value itself.
  const Variant& Deref() const;
  Variant& Deref();

  // Raw payload readers; callers check Vt() first (the conversion module is the
  // general way to read a value as some type).
  std::int64_t IntValue() const { return num_.i; }
  std::uint64_t UIntValue() const { return num_.u; }
  double DoubleValue() const { return num_.d; }
  bool BoolValue() const { return num_.b; }
  const Decimal& DecimalValue() const { return dec_; }
  const std::string& StrValue() const { return str_; }
  const DispatchPtr& DispValue() const { return disp_; }
  // The array behind an array variant; nullptr for an array variant without data.
  const SafeArray* ArrayValue() const { return arr_.get(); }
  SafeArray* ArrayValue() { return arr_.get(); }
  Variant* RefTarget() const { return ref_; }

 private:
  std::uint16_t vt_ = VT_EMPTY;
  union {
    std::int64_t i;
    std::uint64_t u;
    double d;
    bool b;
  } num_{0};
  Decimal dec_{};
  std::string str_;
  DispatchPtr disp_;
  std::unique_ptr<SafeArray> arr_;
  Variant* ref_ = nullptr;
};

// Defined once Variant is complete: clang instantiates the vector's (constexpr) size()
// where it is named, and that needs the element type.
inline std::size_t SafeArray::ElementCount() const { return elements_.size(); }

// Exact equality of type and value (arrays compared element by element); used by
// tests and by code that must tell "unchanged" from "changed".
bool SameValue(const Variant& a, const Variant& b);

}  // namespace eqd
