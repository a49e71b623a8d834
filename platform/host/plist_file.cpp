#include "platform/host/plist_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

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

// A binary list is walked here before libplist sees it, because libplist trusts it too much:
//
// - it aborts the process (a failed assertion) when asked for a dictionary key holding a NUL
//   character, which only a damaged or hostile list can contain;
// - it expands every reference to a shared object into a copy of its own, so a few hundred bytes
//   whose objects refer to each other twice over ([x, x] twenty levels deep) expand to millions of
//   objects and keep it busy for seconds, and one more level doubles that;
// - it reads and frees nested containers recursively, so a deep enough list overflows the stack.
//
// The walk follows the objects as libplist would expand them, checks every offset, length and
// reference against the bytes, and gives up as soon as the expansion passes the limits. Anything
// it cannot follow is refused; well-formed lists always can be followed.
class BinaryListCheck {
 public:
  explicit BinaryListCheck(std::string_view bytes) : bytes_(bytes) {}

  bool acceptable() {
    if (bytes_.size() < binaryMagic.size() + 32) return false;
    const std::size_t trailer = bytes_.size() - 32;
    offsetSize_ = byte(trailer + 6);
    referenceSize_ = byte(trailer + 7);
    std::uint64_t objects = 0;
    std::uint64_t top = 0;
    std::uint64_t tableOffset = 0;
    if (!readUnsigned(trailer + 8, 8, objects) || !readUnsigned(trailer + 16, 8, top) ||
        !readUnsigned(trailer + 24, 8, tableOffset)) {
      return false;
    }
    if (offsetSize_ < 1 || offsetSize_ > 8 || referenceSize_ < 1 || referenceSize_ > 8)
      return false;
    if (objects == 0 || top >= objects || tableOffset < binaryMagic.size() ||
        tableOffset > trailer || (trailer - tableOffset) / offsetSize_ < objects) {
      return false;
    }
    objectCount_ = objects;
    tableOffset_ = tableOffset;

    // Depth first over the expanded tree, without recursion.
    struct Pending {
      std::uint64_t object;
      std::size_t depth;
      bool isKey;
    };
    std::vector<Pending> pending{{top, 1, false}};
    std::size_t expanded = 0;
    std::uint64_t expandedBytes = 0;
    while (!pending.empty()) {
      const Pending next = pending.back();
      pending.pop_back();
      if (++expanded > kMaxPropertyListObjects || next.depth > kMaxPropertyListDepth) return false;
      std::uint64_t offset = 0;
      if (!objectOffset(next.object, offset)) return false;
      if (offset < binaryMagic.size() || offset >= tableOffset_) return false;
      const std::uint8_t marker = byte(offset);
      const std::uint8_t type = marker >> 4;
      if (next.isKey && type != 0x5 && type != 0x6) return false;
      std::uint64_t count = 0;
      std::size_t contents = 0;
      std::uint64_t unit = 0;  // bytes per element of `count`
      switch (type) {
        case 0x0:  // null, false, true, fill
          if (marker != 0x00 && marker != 0x08 && marker != 0x09 && marker != 0x0F) return false;
          continue;
        case 0x1:  // integer of 2^n bytes
          if ((marker & 0x0F) > 4) return false;
          count = std::uint64_t{1} << (marker & 0x0F);
          contents = offset + 1;
          unit = 1;
          break;
        case 0x2:  // real of 2^n bytes
          if ((marker & 0x0F) != 2 && (marker & 0x0F) != 3) return false;
          count = std::uint64_t{1} << (marker & 0x0F);
          contents = offset + 1;
          unit = 1;
          break;
        case 0x3:  // date
          if (marker != binaryDateMarker) return false;
          count = 8;
          contents = offset + 1;
          unit = 1;
          break;
        case 0x4:  // data
        case 0x5:  // ASCII text
        case 0x6:  // UTF-16 text
          if (!lengthOf(offset, count, contents)) return false;
          unit = type == 0x6 ? 2 : 1;
          break;
        case 0x8:  // keyed-archive UID of n + 1 bytes
          count = (marker & 0x0F) + 1u;
          contents = offset + 1;
          unit = 1;
          break;
        case 0xA:  // array
        case 0xC:  // set
          if (!lengthOf(offset, count, contents)) return false;
          unit = referenceSize_;
          break;
        case 0xD:  // dictionary: the keys' references, then the values'
          if (!lengthOf(offset, count, contents)) return false;
          if (count > tableOffset_ / 2) return false;
          count *= 2;
          unit = referenceSize_;
          break;
        default:
          return false;
      }
      if (contents > tableOffset_ || count > (tableOffset_ - contents) / unit) return false;
      if (type == 0x4 || type == 0x5 || type == 0x6) {
        expandedBytes += count * unit;
        if (expandedBytes > kMaxPropertyListExpandedBytes) return false;
        if (next.isKey && !keyIsSafe(contents, count, unit)) return false;
        continue;
      }
      if (type != 0xA && type != 0xC && type != 0xD) continue;
      const std::uint64_t keys = type == 0xD ? count / 2 : 0;
      for (std::uint64_t k = count; k-- > 0;) {
        std::uint64_t reference = 0;
        if (!readUnsigned(contents + k * unit, unit, reference) || reference >= objectCount_)
          return false;
        pending.push_back({reference, next.depth + 1, k < keys});
        if (pending.size() > kMaxPropertyListObjects) return false;
      }
    }
    return true;
  }

 private:
  std::uint8_t byte(std::size_t at) const { return static_cast<std::uint8_t>(bytes_[at]); }

  bool readUnsigned(std::size_t at, std::size_t size, std::uint64_t& out) const {
    if (at > bytes_.size() || bytes_.size() - at < size) return false;
    out = 0;
    for (std::size_t i = 0; i < size; ++i)
      out = (out << 8) | byte(at + i);
    return true;
  }

  bool objectOffset(std::uint64_t index, std::uint64_t& out) const {
    return index < objectCount_ &&
           readUnsigned(tableOffset_ + index * offsetSize_, offsetSize_, out);
  }

  // The element count of the object at `offset` and where its contents start.
  bool lengthOf(std::size_t offset, std::uint64_t& count, std::size_t& contents) const {
    const std::uint8_t low = byte(offset) & 0x0F;
    if (low != 0x0F) {
      count = low;
      contents = offset + 1;
      return true;
    }
    if (offset + 1 >= tableOffset_ || (byte(offset + 1) >> 4) != 0x1) return false;
    const std::size_t size = std::size_t{1} << (byte(offset + 1) & 0x0F);
    if (size > 8 || !readUnsigned(offset + 2, size, count)) return false;
    contents = offset + 2 + size;
    return true;
  }

  bool keyIsSafe(std::size_t contents, std::uint64_t count, std::uint64_t unit) const {
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::size_t at = contents + i * unit;
      if (byte(at) == 0 && (unit == 1 || byte(at + 1) == 0)) return false;
    }
    return true;
  }

  std::string_view bytes_;
  std::size_t offsetSize_ = 0;
  std::size_t referenceSize_ = 0;
  std::uint64_t objectCount_ = 0;
  std::uint64_t tableOffset_ = 0;
};

// An XML list is looked over for the same limits. The count is deliberately generous to the
// attacker: every "<array" and "<dict" opens a level wherever it stands (even inside a comment or
// a document type), while a closing tag counts only where it is a tag, so the depth found is never
// less than the depth libplist will see, whichever way it reads the rest.
bool xmlWithinLimits(std::string_view text) {
  std::size_t depth = 0;
  std::size_t elements = 0;
  const auto opens = [&text](std::size_t at) {
    return text.substr(at, 6) == "<array" || text.substr(at, 5) == "<dict";
  };
  const auto isNameCharacter = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == ':' ||
           c == '.';
  };
  // Parts that hold no tags: comments, character data, processing instructions, a document type
  // with its internal subset.
  const auto skipped = [&text](std::size_t at) -> std::size_t {
    std::string_view terminator;
    if (text.substr(at, 4) == "<!--") {
      terminator = "-->";
    } else if (text.substr(at, 9) == "<![CDATA[") {
      terminator = "]]>";
    } else if (text.substr(at, 2) == "<?") {
      terminator = "?>";
    } else if (text.substr(at, 9) == "<!DOCTYPE") {
      const auto close = text.find_first_of("[>", at);
      terminator = close != std::string_view::npos && text[close] == '[' ? "]>" : ">";
    } else {
      return 0;
    }
    const auto end = text.find(terminator, at + 2);
    return end == std::string_view::npos ? text.size() : end + terminator.size();
  };

  std::size_t at = 0;
  while ((at = text.find('<', at)) != std::string_view::npos) {
    if (const auto end = skipped(at); end != 0) {
      for (auto open = text.find('<', at + 1); open < end; open = text.find('<', open + 1))
        if (opens(open) && ++depth > kMaxPropertyListDepth) return false;
      at = end;
      continue;
    }
    const bool closing = at + 1 < text.size() && text[at + 1] == '/';
    const std::size_t nameStart = at + 1 + (closing ? 1 : 0);
    std::size_t nameEnd = nameStart;
    while (nameEnd < text.size() && isNameCharacter(text[nameEnd]))
      ++nameEnd;
    const auto name = text.substr(nameStart, nameEnd - nameStart);
    const bool container = name == "array" || name == "dict";
    // Like libplist, a tag ends at the first '>'; a '<' before it is no tag.
    const auto end = text.find_first_of("<>", nameEnd);
    const bool isTag = end != std::string_view::npos && text[end] == '>';
    const bool empty = isTag && text[end - 1] == '/';
    if (closing) {
      if (isTag && container && depth > 0) --depth;
    } else if (!name.empty()) {
      if (++elements > kMaxPropertyListObjects) return false;
      if (container && !empty && ++depth > kMaxPropertyListDepth) return false;
    }
    at = isTag ? end + 1 : at + 1;
  }
  return true;
}

// Whether `text` is UTF-8: no stray continuation bytes, overlong forms, surrogates or code points
// past U+10FFFF. libplist hands on the bytes of a damaged binary list's text as they are, and
// writing them back converts them lossily, so such a list is refused like any damaged one.
bool isUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::size_t extra = 0;
    std::uint32_t code = 0;
    std::uint32_t least = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, code = lead & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
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
    case PLIST_STRING: {
      // The pointer accessor takes the stored length; the copying one asserts (and aborts) on
      // text with an embedded NUL, which a damaged file can hold.
      std::uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      std::string value = text ? std::string(text, length) : std::string();
      if (!isUtf8(value)) return std::nullopt;
      return PlistValue(std::move(value));
    }
    case PLIST_DATA: {
      std::uint64_t length = 0;
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(plist_get_data_ptr(node, &length));
      return PlistValue(bytes ? PlistData(bytes, bytes + length) : PlistData());
    }
    case PLIST_DATE:
      return PlistValue(PlistDate{dateValue(node)});
    case PLIST_ARRAY: {
      // Walked with an iterator: asking for the element at an index walks the list from its start
      // each time in the lists libplist reads, which makes a long array quadratic.
      PlistArray array;
      array.reserve(plist_array_get_size(node));
      plist_array_iter iter = nullptr;
      plist_array_new_iter(node, &iter);
      if (!iter) return PlistValue(std::move(array));
      for (;;) {
        plist_t item = nullptr;
        plist_array_next_item(node, iter, &item);
        if (!item) break;
        auto element = fromNode(item);
        if (!element) {
          std::free(iter);
          return std::nullopt;
        }
        array.push_back(std::move(*element));
      }
      std::free(iter);
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
        if (!converted || !key || !isUtf8(key)) {
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
  if (bytes.empty() || bytes.size() > kMaxPropertyListBytes) return std::nullopt;
  if (bytes.substr(0, binaryMagic.size()) == binaryMagic) {
    if (!BinaryListCheck(bytes).acceptable()) return std::nullopt;
  } else if (!xmlWithinLimits(bytes)) {
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
