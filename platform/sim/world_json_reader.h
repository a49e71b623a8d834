// Strict reading of a world file's JSON: typed reads that know the JSON path of each value, range
// checks, and detection of unknown and repeated keys. A bad value is thrown as `JsonReadFailure`,
// which the loader turns into a `WorldError`; it never leaves the loader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/geometry.h"

namespace tucklet::sim::world_json {

// Objects keep the file's key order, so the first bad key reported is the first in the file.
using Json = nlohmann::ordered_json;

struct JsonReadFailure {
  std::string jsonPath;  // empty when the text as a whole is bad
  std::string message;
};

[[noreturn]] void fail(std::string jsonPath, std::string message);

// What a value is, for "expected ..., got <this>": "text", "a number", "a list", "null", ...
std::string describeKind(const Json& value);

// A number as the messages write it: "0.05", "-3", "1e+300".
std::string formatNumber(double value);

// The known name a misspelt one most likely meant: one or two edits away (one for short names),
// ignoring letter case, and not merely a different name of the same length.
std::optional<std::string> closestName(const std::string& name,
                                       const std::vector<std::string_view>& known);

// "apps" + "pid" -> "apps.pid"; "" + "apps" -> "apps"; "apps" + 3 -> "apps[3]".
std::string keyPath(const std::string& parent, std::string_view key);
std::string indexPath(const std::string& parent, std::size_t index);

// How deep lists and objects may nest in a world file.
inline constexpr std::size_t kMaxNestingDepth = 256;

// Parses JSON text in time and memory linear in its length. Syntax errors fail with an empty path
// and "not valid JSON: line L, column C: ..."; a key repeated within one object fails at that
// key's path, since the earlier value would otherwise be dropped without a word; nesting deeper
// than `kMaxNestingDepth` and a number too large for a double fail at their paths too.
Json parseStrict(const std::string& text);

// The allowed range of a number; messages name the bound that was broken.
struct NumberRange {
  std::optional<double> min;
  bool minExclusive = false;
  std::optional<double> max;

  static NumberRange any() { return {}; }
  static NumberRange nonNegative() { return {0.0, false, std::nullopt}; }
  static NumberRange positive() { return {0.0, true, std::nullopt}; }
  static NumberRange atLeast(double low) { return {low, false, std::nullopt}; }
  static NumberRange between(double low, double high) { return {low, false, high}; }
};

double readNumber(const Json& value, const std::string& path,
                  NumberRange range = NumberRange::any());
// A whole number (a number written with a fraction of zero counts), within `range`.
std::int64_t readInteger(const Json& value, const std::string& path,
                         NumberRange range = NumberRange::any());
bool readFlag(const Json& value, const std::string& path);
std::string readText(const Json& value, const std::string& path);

[[noreturn]] void failUnknownEnum(const std::string& path, const std::string& text,
                                  const std::vector<std::string_view>& names);

template <typename E>
struct EnumText {
  std::string_view text;
  E value;
};

// One of a fixed set of texts.
template <typename E>
E readEnum(const Json& value, const std::string& path, std::initializer_list<EnumText<E>> choices) {
  const std::string text = readText(value, path);
  for (const auto& choice : choices) {
    if (choice.text == text) return choice.value;
  }
  std::vector<std::string_view> names;
  for (const auto& choice : choices)
    names.push_back(choice.text);
  failUnknownEnum(path, text, names);
}

// The elements of a list, each with its path.
struct ListElement {
  const Json& value;
  std::string path;
};
std::vector<ListElement> readList(const Json& value, const std::string& path);

// Reads one JSON object key by key. The object's keys are checked against the allowed ones when
// the reader is made, so a misspelt key is reported as such (with the key it probably meant)
// rather than as the missing value it left behind.
class ObjectReader {
 public:
  // Fails unless `value` is an object whose keys are all in `allowedKeys`.
  ObjectReader(const Json& value, std::string path,
               std::initializer_list<std::string_view> allowedKeys);

  const std::string& path() const { return path_; }
  std::string pathOf(std::string_view key) const { return keyPath(path_, key); }

  // The value under `key`; nothing when absent.
  const Json* find(std::string_view key) const;
  // The value under `key`; fails when it is absent.
  const Json& require(std::string_view key) const;

  // Typed reads into a field: an absent key leaves the field as it is (its default). For the
  // optional fields, null also means absent.
  void number(std::string_view key, double& field, NumberRange range = NumberRange::any());
  void number(std::string_view key, std::optional<double>& field,
              NumberRange range = NumberRange::any());
  void flag(std::string_view key, bool& field);
  void text(std::string_view key, std::string& field);
  void text(std::string_view key, std::optional<std::string>& field);
  template <typename I>
  void integer(std::string_view key, I& field, NumberRange range = NumberRange::any()) {
    if (const Json* value = find(key))
      field = static_cast<I>(readInteger(*value, pathOf(key), range));
  }
  template <typename I>
  void integer(std::string_view key, std::optional<I>& field,
               NumberRange range = NumberRange::any()) {
    const Json* value = find(key);
    if (value == nullptr || value->is_null()) return;
    field = static_cast<I>(readInteger(*value, pathOf(key), range));
  }

 private:
  const Json& value_;
  std::string path_;
};

// Fails unless `value` is an object; for objects whose keys are names chosen by the writer.
void expectObject(const Json& value, const std::string& path);

// {"x", "y"}; {"width", "height"} (not negative); {"x", "y", "width", "height"} (size not
// negative). Every member is required.
platform::Point readPoint(const Json& value, const std::string& path);
platform::Size readSize(const Json& value, const std::string& path);
platform::Rect readRect(const Json& value, const std::string& path);

}  // namespace tucklet::sim::world_json
