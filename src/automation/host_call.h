// How a host's call by name reaches a method of a driver object, the same behind every
// face the driver shows a host (the COM object, eqhost's own dispatcher): the positional
// arguments become the parameter array, element i being argument i behind its
// by-reference links, with a VT_I2 widened to VT_I4 (script hosts hand small integer
// literals over as I2); the method runs through CallMethod; and only when it answers
// hrOk is each argument handed the element the method left in its place, for the face
// to write back into a by-reference argument.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "automation/base_object.h"

namespace eqd {

// Element `Index` of the parameter array after a successful call, for argument `Index`.
using THostWriteBack = std::function<void(std::size_t Index, const Variant& Element)>;

// Calls method DispID of Object with Arguments as above and answers CallMethod's result.
// An error raised by the method goes on as it is, and then nothing is written back. A
// method that left a shorter array behind hands back only the elements it has.
HResult CallAsHost(TBaseObject& Object, std::int32_t DispID, const std::vector<Variant>& Arguments, Variant& Result,
                   const THostWriteBack& WriteBack);

}  // namespace eqd
