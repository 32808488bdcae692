// Automation values across the COM boundary: VARIANT/SAFEARRAY/BSTR <-> eqd::Variant.
// Strings go UTF-16 <-> UTF-8 without loss for valid text; arrays keep every dimension,
// its lower bound and the element type; an IDispatch becomes a DispatchObject that calls
// the COM object (and turns back into the same interface on the way out).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "automation/variant.h"
#include "com/win32/com_handles.h"

namespace eqd::com {

// Reads a VARIANT, following every by-reference link and copying what it points to: the
// result holds no pointer into the caller's memory.
Variant FromVariant(const VARIANT& value);

// A new VARIANT holding the value (core references are followed). Raises EConvertError
// for a value that has no VARIANT form.
TVariantHolder ToVariant(const Variant& value);

// Writes `element` back into a caller's argument, as the dispatcher answers by-reference
// arguments: VT_BYREF|VT_VARIANT links are followed to the final VARIANT; one without
// VT_BYREF is replaced by the element, one with VT_BYREF of a storable type receives the
// element converted to that type through the reference. Any other by-reference type
// raises "Ошибка входных параметров команды". `unchanged`, when given, is the argument's
// value as it was read: it is written instead of a conversion of `element`, so values the
// core does not hold in full (decimals, foreign interfaces) come back intact.
void WriteBack(const Variant& element, VARIANT& argument, const VARIANT* unchanged = nullptr);

// The final VARIANT behind a chain of VT_BYREF|VT_VARIANT links.
VARIANT& FollowVariantRefs(VARIANT& value);

}  // namespace eqd::com
