// Property-list bytes to and from PlistValue, through libplist: binary or XML in, binary out.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/plist_value.h"

namespace tucklet::platform {

// The value a binary or XML property list holds; nothing when the bytes are neither (or are a
// damaged list libplist cannot read safely). Keyed-archive UIDs read as integers.
std::optional<PlistValue> parsePropertyList(std::string_view bytes);

// The binary property list of `value`. Dates keep their full precision; text ends at its first
// NUL character (libplist keeps text as C strings).
std::string binaryPropertyList(const PlistValue& value);

}  // namespace tucklet::platform
