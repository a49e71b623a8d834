#include "platform/host/plist_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include <plist/plist.h>

namespace tucklet::platform {

namespace {

struct NodeDeleter {
  void operator()(void* node) const { plist_free(node); }
};
using Node = std::unique_ptr<void, NodeDeleter>;

// libplist's date accessors split a date into 32-bit seconds and microseconds, which loses
// precision, the sign of dates just before 2001 and everything outside 1933...2069. A date
// written through a one-object binary list keeps the exact double both ways.
constexpr std::string_view binaryMagic = "bplist00";
constexpr std::uint8_t binaryDateMarker = 0x33;

plist_t newDate(double secondsSinceReferenceDate) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &secondsSinceReferenceDate, sizeof bits);
  std::array<std::uint8_t, 8 + 9 + 1 + 32> bytes{};
  std::memcpy(bytes.data(), binaryMagic.data(), binaryMagic.size());
  bytes[8] = binaryDateMarker;
  for (std::size_t i = 0; i < 8; ++i)
    bytes[9 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  bytes[17] = 8;  // offset table: the one object starts at byte 8
  std::uint8_t* trailer = bytes.data() + 18;
  trailer[6] = 1;    // size of an offset
  trailer[7] = 1;    // size of an object reference
  trailer[15] = 1;   // number of objects
  trailer[31] = 17;  // where the offset table starts (top object is 0)
  plist_t node = nullptr;
  plist_from_bin(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::uint32_t>(bytes.size()), &node);
  if (node && plist_get_node_type(node) == PLIST_DATE) return node;
  if (node) plist_free(node);
  // Not expected; fall back to the lossy accessor rather than drop the value.
  const double clamped = std::clamp(secondsSinceReferenceDate, -2147483648.0, 2147483647.0);
  return plist_new_date(static_cast<std::int32_t>(clamped), 0);
}

double dateValue(plist_t node) {
  Node copy(plist_copy(node));
  char* bytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(copy.get(), &bytes, &length);
  double value = 0;
  if (bytes && length >= 17 && static_cast<std::uint8_t>(bytes[8]) == binaryDateMarker) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i)
      bits = (bits << 8) | static_cast<std::uint8_t>(bytes[9 + i]);
    std::memcpy(&value, &bits, sizeof value);
  } else {
    std::int32_t seconds = 0;
    std::int32_t microseconds = 0;
    plist_get_date_val(node, &seconds, &microseconds);
    value = seconds + microseconds / 1e6;
  }
  if (bytes) plist_to_bin_free(bytes);
  return value;
}

std::optional<PlistValue> fromNode(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return PlistValue(value != 0);
    }
    case PLIST_UINT: {
      // libplist keeps every integer as 64 unsigned bits; signed values are their two's
      // complement. Values above the signed range (rare unsigned 128-bit entries) wrap.
      std::uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return PlistValue(static_cast<std::int64_t>(value));
    }
    case PLIST_UID: {
      std::uint64_t value = 0;
      plist_get_uid_val(node, &value);
      return PlistValue(static_cast<std::int64_t>(value));
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return PlistValue(value);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
      char* text = nullptr;
      plist_get_string_val(node, &text);
      std::string value = text ? text : "";
      std::free(text);
      return PlistValue(std::move(value));
    }
    case PLIST_DATA: {
      char* bytes = nullptr;
      std::uint64_t length = 0;
      plist_get_data_val(node, &bytes, &length);
      PlistData value(reinterpret_cast<std::uint8_t*>(bytes),
                      reinterpret_cast<std::uint8_t*>(bytes) + (bytes ? length : 0));
      std::free(bytes);
      return PlistValue(std::move(value));
    }
    case PLIST_DATE:
      return PlistValue(PlistDate{dateValue(node)});
    case PLIST_ARRAY: {
      PlistArray array;
      const auto size = plist_array_get_size(node);
      array.reserve(size);
      for (std::uint32_t i = 0; i < size; ++i) {
        auto element = fromNode(plist_array_get_item(node, i));
        if (!element) return std::nullopt;
        array.push_back(std::move(*element));
      }
      return PlistValue(std::move(array));
    }
    case PLIST_DICT: {
      PlistDict dict;
      plist_dict_iter iter = nullptr;
      plist_dict_new_iter(node, &iter);
      if (!iter) return PlistValue(std::move(dict));
      for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iter, &key, &value);
        if (!value) {
          std::free(key);
          break;
        }
        auto converted = fromNode(value);
        if (!converted || !key) {
          std::free(key);
          std::free(iter);
          return std::nullopt;
        }
        dict.insert_or_assign(key, std::move(*converted));
        std::free(key);
      }
      std::free(iter);
      return PlistValue(std::move(dict));
    }
    default:
      return std::nullopt;
  }
}

plist_t toNode(const PlistValue& value) {
  if (value.isBool()) return plist_new_bool(value.asBool() ? 1 : 0);
  if (value.isInteger()) return plist_new_uint(static_cast<std::uint64_t>(value.asInteger()));
  if (value.isReal()) return plist_new_real(value.asReal());
  if (value.isString()) return plist_new_string(value.asString().c_str());
  if (value.isData()) {
    const auto& data = value.asData();
    static const char empty = 0;
    return plist_new_data(data.empty() ? &empty : reinterpret_cast<const char*>(data.data()),
                          data.size());
  }
  if (value.isDate()) return newDate(value.asDate().secondsSinceReferenceDate);
  if (value.isArray()) {
    plist_t array = plist_new_array();
    for (const auto& element : value.asArray())
      plist_array_append_item(array, toNode(element));
    return array;
  }
  plist_t dict = plist_new_dict();
  for (const auto& [key, element] : value.asDict()) {
    plist_dict_set_item(dict, key.c_str(), toNode(element));
  }
  return dict;
}

}  // namespace

std::optional<PlistValue> parsePropertyList(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
  if (!root) return std::nullopt;
  Node owner(root);
  return fromNode(root);
}

std::string binaryPropertyList(const PlistValue& value) {
  Node root(toNode(value));
  char* bytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root.get(), &bytes, &length);
  std::string result(bytes ? bytes : "", bytes ? length : 0);
  if (bytes) plist_to_bin_free(bytes);
  return result;
}

}  // namespace tucklet::platform
