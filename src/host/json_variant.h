// The JSON form of automation values that eqhost reads from its users and prints back:
//   string <-> VT_BSTR, integer <-> VT_I4, other number <-> VT_R8, true/false <-> VT_BOOL,
//   null <-> VT_EMPTY, {"null": true} <-> VT_NULL,
//   [ ... ] <-> one-dimensional zero-based variant array,
//   {"array2": [[...], [...]], "lbound": [l1, l2]} <-> two-dimensional variant array whose
//   element (l1 + i, l2 + j) is array2[i][j] ("lbound" optional on input),
//   {"manager": true} <-> the host's own equipment manager.
// Any other automation value prints as {"vt": N, "text": <its trace text>}.
#pragma once

#include <nlohmann/json.hpp>

#include "automation/variant.h"

namespace eqd {

// Key order is kept, so printed lines read "method" first.
using Json = nlohmann::ordered_json;

// How deep arrays and objects may nest in what eqhost reads (the outermost counts).
inline constexpr int kMaxJsonDepth = 32;

// Reads JSON text. Raises the parser's error for text that is no JSON, and EConvertError
// as soon as the nesting passes kMaxJsonDepth, so nothing ever walks a deeper structure.
Json ParseJson(const std::string& text);

// Raises EConvertError for JSON that stands for no value (an unknown object, rows of
// different lengths). `manager` is what {"manager": true} stands for; without one that
// object is refused.
Variant JsonToVariant(const Json& value, const DispatchPtr& manager = nullptr);

Json VariantToJson(const Variant& value, const DispatchPtr& manager = nullptr);

}  // namespace eqd
