// The text under which eqhost shows an automation value that has no plain JSON form.
#pragma once

#include <string>

#include "automation/variant.h"

namespace eqd {

std::string HostValueText(const Variant& value);

}  // namespace eqd
