// Property-list bytes to and from PlistValue, through libplist: binary or XML in, binary out.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/plist_value.h"

namespace tucklet::platform {

// The value a binary or XML property list holds; nothing when the bytes are neither. Keyed-archive
// UIDs read as integers.
std::optional<PlistValue> parsePropertyList(std::string_view bytes);

// The binary property list of `value`. Dates keep their full precision.
std::string binaryPropertyList(const PlistValue& value);

}  // namespace tucklet::platform
