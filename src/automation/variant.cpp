#include "automation/variant.h"

#include <limits>

#include "automation/errors.h"

namespace eqd {

SafeArray::SafeArray(std::vector<ArrayBound> bounds) : bounds_(std::move(bounds)) {
  std::size_t total = bounds_.empty() ? 0 : 1;
  for (const ArrayBound& b : bounds_) {
    if (b.Count != 0 && total > std::numeric_limits<std::uint32_t>::max() / b.Count)
      throw ERangeError("Слишком большой массив");
    total *= b.Count;
  }
  elements_.resize(total);
}

template <typename It>
std::size_t SafeArray::Offset(It first, It last) const {
  if (static_cast<std::size_t>(last - first) != bounds_.size())
    throw ERangeError("Неверное число индексов массива");
  std::size_t offset = 0;
  std::size_t stride = 1;
  std::size_t dim = 0;
  for (It it = first; it != last; ++it, ++dim) {
    const ArrayBound& b = bounds_[dim];
    const std::int64_t rel = *it - std::int64_t{b.LowBound};
    if (rel < 0 || rel >= std::int64_t{b.Count}) throw ERangeError("Индекс массива вне границ");
    offset += static_cast<std::size_t>(rel) * stride;
    stride *= b.Count;
  }
  return offset;
}

Variant& SafeArray::At(std::initializer_list<std::int64_t> indices) {
  return elements_[Offset(indices.begin(), indices.end())];
}
const Variant& SafeArray::At(std::initializer_list<std::int64_t> indices) const {
  return elements_[Offset(indices.begin(), indices.end())];
}
Variant& SafeArray::At(const std::vector<std::int64_t>& indices) {
  return elements_[Offset(indices.begin(), indices.end())];
}
const Variant& SafeArray::At(const std::vector<std::int64_t>& indices) const {
  return elements_[Offset(indices.begin(), indices.end())];
}

Variant::Variant(const Variant& other)
    : vt_(other.vt_),
      num_(other.num_),
      dec_(other.dec_),
      str_(other.str_),
      disp_(other.disp_),
      arr_(other.arr_ ? std::make_unique<SafeArray>(*other.arr_) : nullptr),
      ref_(other.ref_) {}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    Variant copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Variant::Variant(SafeArray value, VarType elementType)
    : vt_(static_cast<std::uint16_t>(VT_ARRAY | elementType)),
      arr_(std::make_unique<SafeArray>(std::move(value))) {}

Variant Variant::OfType(VarType vt) {
  Variant v;
  v.vt_ = vt;
  return v;
}

Variant Variant::Null() { return OfType(VT_NULL); }

#define EQD_TYPED_INT(Name, Type, Code, Field) \
  Variant Variant::Name(Type value) {          \
    Variant v = OfType(Code);                  \
    v.num_.Field = value;                      \
    return v;                                  \
  }
EQD_TYPED_INT(I2, std::int16_t, VT_I2, i)
EQD_TYPED_INT(I1, std::int8_t, VT_I1, i)
EQD_TYPED_INT(UI1, std::uint8_t, VT_UI1, u)
EQD_TYPED_INT(UI2, std::uint16_t, VT_UI2, u)
EQD_TYPED_INT(UI4, std::uint32_t, VT_UI4, u)
EQD_TYPED_INT(I8, std::int64_t, VT_I8, i)
EQD_TYPED_INT(UI8, std::uint64_t, VT_UI8, u)
EQD_TYPED_INT(Int, std::int32_t, VT_INT, i)
EQD_TYPED_INT(UInt, std::uint32_t, VT_UINT, u)
EQD_TYPED_INT(Error, std::int32_t, VT_ERROR, i)
#undef EQD_TYPED_INT

Variant Variant::R4(float value) {
  Variant v = OfType(VT_R4);
  v.num_.d = value;
  return v;
}

Variant Variant::EmptyArray(VarType elementType) {
  return OfType(static_cast<VarType>(VT_ARRAY | elementType));
}

Variant Variant::Array(std::vector<Variant> items) {
  SafeArray a({ArrayBound{0, static_cast<std::uint32_t>(items.size())}});
  a.Elements() = std::move(items);
  return Variant(std::move(a));
}

Variant Variant::ByRef(Variant& target, bool asVariant) {
  Variant v = OfType(static_cast<VarType>(VT_BYREF | (asVariant ? std::uint16_t{VT_VARIANT} : target.Deref().vt_)));
  v.ref_ = &target;
  return v;
}

const Variant& Variant::Deref() const {
  const Variant* v = this;
  while (v->IsByRef() && v->ref_ != nullptr) v = v->ref_;
  return *v;
}

Variant& Variant::Deref() {
  Variant* v = this;
  while (v->IsByRef() && v->ref_ != nullptr) v = v->ref_;
  return *v;
}

bool SameValue(const Variant& a, const Variant& b) {
  if (a.Vt() != b.Vt()) return false;
  if (a.IsByRef()) return a.RefTarget() == b.RefTarget();
  if (a.IsArray()) {
    const SafeArray* x = a.ArrayValue();
    const SafeArray* y = b.ArrayValue();
    if (x == nullptr || y == nullptr) return x == y;
    if (x->DimCount() != y->DimCount()) return false;
    for (std::size_t d = 0; d < x->DimCount(); ++d)
      if (x->Bound(d).LowBound != y->Bound(d).LowBound || x->Bound(d).Count != y->Bound(d).Count) return false;
    for (std::size_t i = 0; i < x->ElementCount(); ++i)
      if (!SameValue(x->Elements()[i], y->Elements()[i])) return false;
    return true;
  }
  switch (a.BaseType()) {
    case VT_EMPTY:
    case VT_NULL:
      return true;
    case VT_R4:
    case VT_R8:
    case VT_DATE:
      return a.DoubleValue() == b.DoubleValue();
    case VT_BOOL:
      return a.BoolValue() == b.BoolValue();
    case VT_BSTR:
      return a.StrValue() == b.StrValue();
    case VT_DISPATCH:
      return a.DispValue() == b.DispValue();
    case VT_DECIMAL:
      return a.DecimalValue() == b.DecimalValue();
    default:
      return a.IntValue() == b.IntValue();
  }
}

}  // namespace eqd
