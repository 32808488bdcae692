#include "com/win32/variant_convert.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "automation/automation_texts.h"
#include "automation/errors.h"
#include "automation/variant_convert.h"
#include "com/com_texts.h"
#include "com/win32/dispatch_bridge.h"

namespace eqd::com {

namespace {

template <typename T>
T Load(const void* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

template <typename T>
void Store(void* p, T value) {
  std::memcpy(p, &value, sizeof value);
}

[[noreturn]] void Unsupported(unsigned vt) {
  char text[128];
  std::snprintf(text, sizeof text, kTextUnsupportedValueType.data(), vt);
  throw EConvertError(text);
}

// The size of one element of each type an array can hold, 0 for types this layer does
// not read element by element.
std::size_t ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: return 8;
    case VT_BSTR: return sizeof(BSTR);
    case VT_DISPATCH: return sizeof(IDispatch*);
    case VT_UNKNOWN: return sizeof(IUnknown*);
    case VT_VARIANT: return sizeof(VARIANT);
    case VT_DECIMAL: return sizeof(DECIMAL);
    default: return 0;
  }
}

std::int64_t IntInRange(const Variant& v, std::int64_t low, std::int64_t high, VARTYPE type) {
  const std::int64_t i = VarToInt64(v);
  if (i < low || i > high)
    throw EConvertError(std::string(texts::kValue) + " " + std::to_string(i) + " " + texts::kDoesNotFit + " " +
                        VarTypeName(type));
  return i;
}

// The value as one of the types a typed array element or a by-reference argument holds,
// by the core's conversion rules.
Variant CoerceTo(const Variant& source, VARTYPE type) {
  const Variant& v = source.Deref();
  if (v.Vt() == type || type == VT_VARIANT) return v;
  switch (type) {
    case VT_I2: return Variant::I2(static_cast<std::int16_t>(IntInRange(v, INT16_MIN, INT16_MAX, type)));
    case VT_UI2: return Variant::UI2(static_cast<std::uint16_t>(IntInRange(v, 0, UINT16_MAX, type)));
    case VT_I1: return Variant::I1(static_cast<std::int8_t>(IntInRange(v, INT8_MIN, INT8_MAX, type)));
    case VT_UI1: return Variant::UI1(static_cast<std::uint8_t>(IntInRange(v, 0, UINT8_MAX, type)));
    case VT_I4: return Variant(VarToInt32(v));
    case VT_INT: return Variant::Int(VarToInt32(v));
    case VT_UI4: return Variant::UI4(static_cast<std::uint32_t>(IntInRange(v, 0, UINT32_MAX, type)));
    case VT_UINT: return Variant::UInt(static_cast<std::uint32_t>(IntInRange(v, 0, UINT32_MAX, type)));
    case VT_I8: return Variant::I8(VarToInt64(v));
    case VT_UI8:
      return v.BaseType() == VT_UI4 || v.BaseType() == VT_UI1 || v.BaseType() == VT_UI2 || v.BaseType() == VT_UINT
                 ? Variant::UI8(v.UIntValue())
                 : Variant::UI8(static_cast<std::uint64_t>(IntInRange(v, 0, INT64_MAX, type)));
    case VT_DECIMAL: return Variant(VarToDecimal(v));
    case VT_R4: return Variant::R4(static_cast<float>(VarToDouble(v)));
    case VT_R8: return Variant(VarToDouble(v));
    case VT_DATE: return Variant(VarToDate(v));
    case VT_CY: return Variant(VarToCurrency(v));
    case VT_BSTR: return Variant(VarToStr(v));
    case VT_BOOL: return Variant(VarToBool(v));
    case VT_DISPATCH:
      if (v.IsEmpty()) return Variant(DispatchPtr());
      break;
    default: break;
  }
  throw EConvertError(std::string(texts::kValueOfType) + " " + VarTypeName(v.Vt()) + " " + texts::kCannotBecome + " " +
                      VarTypeName(type));
}

// One value of type `vt` stored at `p` (a VARIANT's payload, a by-reference target or
// an array element).
Variant ReadValue(VARTYPE vt, const void* p) {
  switch (vt) {
    case VT_EMPTY: return Variant();
    case VT_NULL: return Variant::Null();
    case VT_I2: return Variant::I2(Load<SHORT>(p));
    case VT_I4: return Variant(static_cast<std::int32_t>(Load<LONG>(p)));
    case VT_INT: return Variant::Int(static_cast<std::int32_t>(Load<INT>(p)));
    case VT_R4: return Variant::R4(Load<FLOAT>(p));
    case VT_R8: return Variant(Load<DOUBLE>(p));
    case VT_CY: return Variant(Currency{Load<CY>(p).int64});
    case VT_DATE: return Variant(DateValue{Load<DATE>(p)});
    case VT_BSTR: return Variant(BstrToUtf8(Load<BSTR>(p)));
    case VT_DISPATCH: {
      IDispatch* d = Load<IDispatch*>(p);
      return Variant(d ? std::make_shared<THostDispatch>(d) : DispatchPtr());
    }
    case VT_ERROR: return Variant::Error(Load<SCODE>(p));
    case VT_BOOL: return Variant(Load<VARIANT_BOOL>(p) != VARIANT_FALSE);
    case VT_VARIANT: return FromVariant(*static_cast<const VARIANT*>(p));
    case VT_I1: return Variant::I1(Load<CHAR>(p));
    case VT_UI1: return Variant::UI1(Load<BYTE>(p));
    case VT_UI2: return Variant::UI2(Load<USHORT>(p));
    case VT_UI4: return Variant::UI4(Load<ULONG>(p));
    case VT_UINT: return Variant::UInt(Load<UINT>(p));
    case VT_I8: return Variant::I8(Load<LONGLONG>(p));
    case VT_UI8: return Variant::UI8(Load<ULONGLONG>(p));
    case VT_DECIMAL: {
      const auto d = Load<DECIMAL>(p);
      return Variant(Decimal{d.scale, (d.sign & DECIMAL_NEG) != 0, d.Hi32, d.Lo64});
    }
    default:
      // Kept as a value of its type without content (foreign interfaces...).
      return Variant::OfType(static_cast<VarType>(vt));
  }
}

// An array's data lock, given up on every path out.
using TArrayDataLock = TUniqueHandle<SAFEARRAY*, &SafeArrayUnaccessData>;

// The array's data, locked until `lock` goes.
void* LockData(SAFEARRAY* array, TArrayDataLock& lock) {
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) throw EConvertError(std::string(kTextBrokenArray));
  lock.Reset(array);
  return data;
}

Variant ReadArray(SAFEARRAY* array, VARTYPE elementType) {
  const auto type = static_cast<VarType>(elementType);
  if (array == nullptr) return Variant::EmptyArray(type);
  const UINT dims = SafeArrayGetDim(array);
  std::vector<ArrayBound> bounds;
  for (UINT d = 1; d <= dims; ++d) {
    LONG low = 0, high = 0;
    if (FAILED(SafeArrayGetLBound(array, d, &low)) || FAILED(SafeArrayGetUBound(array, d, &high)))
      throw EConvertError(std::string(kTextBrokenArray));
    const LONGLONG count = LONGLONG{high} - low + 1;
    if (count < 0) throw EConvertError(std::string(kTextBrokenArray));
    bounds.push_back(ArrayBound{low, static_cast<std::uint32_t>(count)});
  }
  SafeArray result(std::move(bounds));
  if (result.ElementCount() == 0) return Variant(std::move(result), type);

  const std::size_t size = ElementSize(elementType);
  if (size == 0 || SafeArrayGetElemsize(array) != size) Unsupported(VT_ARRAY | elementType);
  TArrayDataLock lock;
  // SAFEARRAY data runs with the first dimension fastest, as SafeArray's does.
  const auto* data = static_cast<const unsigned char*>(LockData(array, lock));
  auto& elements = result.Elements();
  for (std::size_t i = 0; i < elements.size(); ++i) elements[i] = ReadValue(elementType, data + i * size);
  return Variant(std::move(result), type);
}

// A decimal VARIANT's number stored as a DECIMAL (whose first field the VARIANT's type
// overlays).
void StoreDecimal(void* slot, const VARIANT& value) {
  DECIMAL d = V_DECIMAL(&value);
  d.wReserved = 0;
  Store(slot, d);
}

// Moves a VARIANT of exactly the array's element type into its slot.
void MoveIntoSlot(TVariantHolder& value, VARTYPE type, void* slot) {
  if (type == VT_VARIANT) {
    Store(slot, value.Detach());
    return;
  }
  VARIANT raw = value.Detach();
  // The payload sits at the start of the VARIANT's value area; a decimal fills the whole
  // VARIANT.
  if (type == VT_DECIMAL)
    StoreDecimal(slot, raw);
  else
    std::memcpy(slot, &raw.llVal, ElementSize(type));
}

void WriteArray(const Variant& value, VARIANT& out) {
  const VARTYPE elementType = value.BaseType();
  const SafeArray* source = value.ArrayValue();
  if (source == nullptr) {
    V_VT(&out) = VT_ARRAY | elementType;
    V_ARRAY(&out) = nullptr;
    return;
  }
  if (ElementSize(elementType) == 0) Unsupported(value.Vt());
  std::vector<SAFEARRAYBOUND> bounds;
  for (std::size_t d = 0; d < source->DimCount(); ++d)
    bounds.push_back(SAFEARRAYBOUND{source->Bound(d).Count, source->Bound(d).LowBound});
  TSafeArrayHandle array(SafeArrayCreate(elementType, static_cast<UINT>(bounds.size()), bounds.data()));
  if (!array) throw EDriverError(std::string(kTextOutOfMemory), "EOutOfMemory");
  if (source->ElementCount() != 0) {
    TArrayDataLock lock;
    auto* data = static_cast<unsigned char*>(LockData(array.Get(), lock));
    const std::size_t size = SafeArrayGetElemsize(array.Get());
    const auto& elements = source->Elements();
    for (std::size_t i = 0; i < elements.size(); ++i) {
      TVariantHolder element = ToVariant(CoerceTo(elements[i], elementType));
      MoveIntoSlot(element, elementType, data + i * size);
    }
  }
  V_VT(&out) = VT_ARRAY | elementType;
  V_ARRAY(&out) = array.Detach();
}

}  // namespace

VARIANT& FollowVariantRefs(VARIANT& value) {
  VARIANT* v = &value;
  while (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v) != nullptr) v = V_VARIANTREF(v);
  return *v;
}

Variant FromVariant(const VARIANT& value) {
  const VARTYPE vt = V_VT(&value);
  if (vt & VT_BYREF) {
    const void* target = V_BYREF(&value);
    if (target == nullptr) Unsupported(vt);
    const VARTYPE base = vt & ~VT_BYREF;
    if (base & VT_ARRAY) return ReadArray(*static_cast<SAFEARRAY* const*>(target), base & VT_TYPEMASK);
    return ReadValue(base, target);
  }
  if (vt & VT_ARRAY) return ReadArray(V_ARRAY(&value), vt & VT_TYPEMASK);
  if (vt == VT_VARIANT) Unsupported(vt);  // only valid by reference
  if (vt == VT_DECIMAL) return ReadValue(vt, &V_DECIMAL(&value));
  return ReadValue(vt, &value.llVal);
}

TVariantHolder ToVariant(const Variant& source) {
  const Variant& value = source.Deref();
  TVariantHolder out;
  VARIANT& v = out.Get();
  if (value.IsArray()) {
    WriteArray(value, v);
    return out;
  }
  switch (value.Vt()) {
    case VT_EMPTY: break;
    case VT_NULL: V_VT(&v) = VT_NULL; break;
    case VT_I2: V_VT(&v) = VT_I2; V_I2(&v) = static_cast<SHORT>(value.IntValue()); break;
    case VT_I4: V_VT(&v) = VT_I4; V_I4(&v) = static_cast<LONG>(value.IntValue()); break;
    case VT_INT: V_VT(&v) = VT_INT; V_INT(&v) = static_cast<INT>(value.IntValue()); break;
    case VT_R4: V_VT(&v) = VT_R4; V_R4(&v) = static_cast<FLOAT>(value.DoubleValue()); break;
    case VT_R8: V_VT(&v) = VT_R8; V_R8(&v) = value.DoubleValue(); break;
    case VT_CY: V_VT(&v) = VT_CY; V_CY(&v).int64 = value.IntValue(); break;
    case VT_DATE: V_VT(&v) = VT_DATE; V_DATE(&v) = value.DoubleValue(); break;
    case VT_BSTR: V_BSTR(&v) = MakeBstr(value.StrValue()).Detach(); V_VT(&v) = VT_BSTR; break;
    case VT_DISPATCH: {
      IDispatch* d = value.DispValue() ? MakeComDispatch(value.DispValue()) : nullptr;
      V_VT(&v) = VT_DISPATCH;
      V_DISPATCH(&v) = d;
      break;
    }
    case VT_ERROR: V_VT(&v) = VT_ERROR; V_ERROR(&v) = static_cast<SCODE>(value.IntValue()); break;
    case VT_BOOL: V_VT(&v) = VT_BOOL; V_BOOL(&v) = value.BoolValue() ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_I1: V_VT(&v) = VT_I1; V_I1(&v) = static_cast<CHAR>(value.IntValue()); break;
    case VT_UI1: V_VT(&v) = VT_UI1; V_UI1(&v) = static_cast<BYTE>(value.UIntValue()); break;
    case VT_UI2: V_VT(&v) = VT_UI2; V_UI2(&v) = static_cast<USHORT>(value.UIntValue()); break;
    case VT_UI4: V_VT(&v) = VT_UI4; V_UI4(&v) = static_cast<ULONG>(value.UIntValue()); break;
    case VT_UINT: V_VT(&v) = VT_UINT; V_UINT(&v) = static_cast<UINT>(value.UIntValue()); break;
    case VT_I8: V_VT(&v) = VT_I8; V_I8(&v) = value.IntValue(); break;
    case VT_UI8: V_VT(&v) = VT_UI8; V_UI8(&v) = value.UIntValue(); break;
    case VT_UNKNOWN: V_VT(&v) = VT_UNKNOWN; V_UNKNOWN(&v) = nullptr; break;
    case VT_DECIMAL: {
      const Decimal& d = value.DecimalValue();
      DECIMAL& number = V_DECIMAL(&v);
      number.scale = d.Scale;
      number.sign = d.Negative ? DECIMAL_NEG : 0;
      number.Hi32 = d.Hi32;
      number.Lo64 = d.Lo64;
      V_VT(&v) = VT_DECIMAL;
      break;
    }
    default: Unsupported(value.Vt());
  }
  return out;
}

void WriteBack(const Variant& element, VARIANT& argument, const VARIANT* unchanged) {
  VARIANT& target = FollowVariantRefs(argument);
  if (!(V_VT(&target) & VT_BYREF)) {
    TVariantHolder value;
    if (unchanged != nullptr) {
      if (FAILED(VariantCopy(&value.Get(), const_cast<VARIANT*>(unchanged)))) throw EDriverError(std::string(kTextOutOfMemory), "EOutOfMemory");
    } else {
      value = ToVariant(element);
    }
    VariantClear(&target);
    target = value.Detach();
    return;
  }
  const VARTYPE base = V_VT(&target) & ~VT_BYREF;
  switch (base) {
    case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_R4: case VT_R8: case VT_DATE:
    case VT_CY: case VT_BSTR: case VT_DISPATCH: case VT_BOOL: case VT_UI1:
    case VT_I1: case VT_I8: case VT_UI8: case VT_INT: case VT_UINT: case VT_DECIMAL:
      break;
    default:
      throw EDriverError(std::string(kTextBadParameters));
  }
  void* ref = V_BYREF(&target);
  if (ref == nullptr) throw EDriverError(std::string(kTextBadParameters));
  TVariantHolder value = ToVariant(CoerceTo(element, base));
  VARIANT& v = value.Get();
  switch (base) {
    case VT_BSTR:
      SysFreeString(Load<BSTR>(ref));
      Store(ref, V_BSTR(&v));
      V_VT(&v) = VT_EMPTY;  // the string now belongs to the caller's variable
      break;
    case VT_DISPATCH:
      if (IDispatch* old = Load<IDispatch*>(ref)) old->Release();
      Store(ref, V_DISPATCH(&v));
      V_VT(&v) = VT_EMPTY;
      break;
    case VT_DECIMAL:
      StoreDecimal(ref, v);
      break;
    default:
      std::memcpy(ref, &v.llVal, ElementSize(base));
      break;
  }
}

}  // namespace eqd::com
