// Property-list bytes to and from PlistValue, through libplist: binary or XML in, binary out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/plist_value.h"

namespace tucklet::platform {

// Limits on what a property list may hold, so that reading one takes time and memory in proportion
// to its size whatever its bytes say: its size, how deep containers nest, how many values it holds
// once every shared object is counted where it is used, and how many bytes of text and data that
// expansion holds.
inline constexpr std::size_t kMaxPropertyListBytes = 64u << 20;
inline constexpr std::size_t kMaxPropertyListDepth = 256;
inline constexpr std::size_t kMaxPropertyListObjects = 500'000;
inline constexpr std::uint64_t kMaxPropertyListExpandedBytes = 64u << 20;

// The value a binary or XML property list holds; nothing when the bytes are neither, are a damaged
// list libplist cannot read safely, hold a key or text that is not UTF-8, or pass one of the
// limits above. Keyed-archive UIDs read as
// integers.
std::optional<PlistValue> parsePropertyList(std::string_view bytes);

// The binary property list of `value`. Dates keep their full precision; text ends at its first
// NUL character (libplist keeps text as C strings).
std::string binaryPropertyList(const PlistValue& value);

}  // namespace tucklet::platform
