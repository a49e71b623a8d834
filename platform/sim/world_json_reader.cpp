#include "platform/sim/world_json_reader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <set>
#include <unordered_set>
#include <utility>

namespace tucklet::sim::world_json {

std::string formatNumber(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string describeKind(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::boolean:
      return value.get<bool>() ? "true" : "false";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      return "a number";
    case Json::value_t::string:
      return "text";
    case Json::value_t::object:
      return "an object";
    case Json::value_t::array:
      return "a list";
    default:
      return "an unsupported value";
  }
}

namespace {

[[noreturn]] void failType(const std::string& path, std::string_view expected, const Json& value) {
  fail(path, "expected " + std::string(expected) + ", got " + describeKind(value));
}

void checkRange(double value, const std::string& path, const NumberRange& range) {
  const bool tooLow =
      range.min && (range.minExclusive ? !(value > *range.min) : !(value >= *range.min));
  const bool tooHigh = range.max && !(value <= *range.max);
  if (!tooLow && !tooHigh) return;
  std::string rule;
  if (range.min && range.max) {
    rule = "must be between " + formatNumber(*range.min) + " and " + formatNumber(*range.max);
  } else if (range.min && range.minExclusive) {
    rule = "must be greater than " + formatNumber(*range.min);
  } else if (range.min && *range.min == 0) {
    rule = "must not be negative";
  } else if (range.min) {
    rule = "must be at least " + formatNumber(*range.min);
  } else {
    rule = "must be at most " + formatNumber(*range.max);
  }
  fail(path, rule + ", got " + formatNumber(value));
}

std::string lowered(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

std::size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j)
    row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::optional<std::string> closestName(const std::string& key,
                                       const std::vector<std::string_view>& known) {
  std::optional<std::string> best;
  std::size_t bestDistance = (key.size() <= 3 ? 1 : 2) + 1;
  for (const auto& candidate : known) {
    const std::size_t distance = editDistance(lowered(key), lowered(candidate));
    if (distance < bestDistance && distance < key.size()) {
      bestDistance = distance;
      best = std::string(candidate);
    }
  }
  return best;
}

namespace {

// A long token in a library message (a huge invalid string or number) is cut short: the line
// stays readable, and the place is named anyway.
std::string shortened(std::string text) {
  constexpr std::size_t kLongest = 160;
  if (text.size() <= kLongest) return text;
  std::size_t cut = kLongest;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
    --cut;  // not inside a UTF-8 sequence
  return text.substr(0, cut) + "...";
}

// nlohmann's messages read "[json.exception.parse_error.101] parse error at line 3, column 6:
// syntax error ...". Its column can read 0 when the bad token ends a line, so the place is
// worked out again from the byte offset: the line and column of the last character read.
std::string syntaxErrorText(const std::string& text, const Json::parse_error& error) {
  const std::string what = error.what();
  std::string detail = what;
  const std::string marker = "parse error at line ";
  if (auto at = what.find(marker); at != std::string::npos) {
    if (auto colon = what.find(": ", at); colon != std::string::npos)
      detail = what.substr(colon + 2);
  } else if (auto bracket = what.find("] "); bracket != std::string::npos) {
    detail = what.substr(bracket + 2);
  }
  std::size_t line = 1;
  std::size_t column = 1;
  if (!text.empty() && error.byte > 0) {
    const std::size_t offset = std::min<std::size_t>(error.byte - 1, text.size() - 1);
    for (std::size_t i = 0; i < offset; ++i) {
      if (text[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
         shortened(detail);
}

// Builds the values from the parser's events, and stops at the first repeated key, at nesting
// deeper than the limit and at a number a double cannot hold, naming the JSON path of each. Only
// the segment of each open level is kept, so memory stays proportional to the size of the text;
// each event takes constant time, so reading is linear in it. (nlohmann's own parser with a
// callback revisits a list's elements each time one of its objects ends, and adding a key to an
// ordered object searches the keys before it: both grow with the square of the text.)
class StrictBuilder {
 public:
  explicit StrictBuilder(const std::string& text) : text_(text) {}

  const std::optional<JsonReadFailure>& failure() const { return failure_; }
  Json& result() { return root_; }

  bool null() { return add(Json(nullptr)) != nullptr; }
  bool boolean(bool value) { return add(Json(value)) != nullptr; }
  bool number_integer(Json::number_integer_t value) { return add(Json(value)) != nullptr; }
  bool number_unsigned(Json::number_unsigned_t value) { return add(Json(value)) != nullptr; }
  bool number_float(Json::number_float_t value, const Json::string_t&) {
    return add(Json(value)) != nullptr;
  }
  bool string(Json::string_t& value) { return add(Json(std::move(value))) != nullptr; }
  bool binary(Json::binary_t&) { return stop("", "not valid JSON"); }

  bool start_object(std::size_t) { return open(Json::object()); }
  bool start_array(std::size_t) { return open(Json::array()); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }

  bool key(Json::string_t& key) {
    Frame& frame = frames_.back();
    if (!frame.keys.insert(key).second) {
      frame.key = std::move(key);
      return stop(pathOfNext(), "key appears more than once in the same object");
    }
    frame.key = std::move(key);
    return true;
  }

  bool parse_error(std::size_t, const std::string& token,
                   const nlohmann::detail::exception& error) {
    if (error.id == 406) {
      // The lexer read a number no double can hold ("1e400").
      return stop(pathOfNext(), "number too large: " + shortened(token));
    }
    if (const auto* syntax = dynamic_cast<const Json::parse_error*>(&error))
      return stop("", "not valid JSON: " + syntaxErrorText(text_, *syntax));
    return stop("", "not valid JSON: " + shortened(error.what()));
  }

 private:
  struct Frame {
    Json* value = nullptr;  // the open object or list (its parent never grows while it is open)
    std::string segment;    // this level's part of the path: "key", ".key" or "[3]"
    std::string key;        // the latest key (objects)
    std::unordered_set<std::string> keys;
  };

  // The path of the value about to begin.
  std::string pathOfNext() const {
    std::string path;
    for (const auto& frame : frames_)
      path += frame.segment;
    if (frames_.empty()) return path;
    const Frame& parent = frames_.back();
    if (parent.value->is_array()) return indexPath(path, parent.value->size());
    return keyPath(path, parent.key);
  }

  // Places a value in the open container (or at the top) and answers where it now lives.
  Json* add(Json value) {
    if (frames_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Frame& parent = frames_.back();
    if (parent.value->is_array()) {
      auto& elements = parent.value->get_ref<Json::array_t&>();
      elements.push_back(std::move(value));
      return &elements.back();
    }
    // Keys are known to be distinct here, so the ordered object's own search is skipped.
    using Pairs = std::vector<std::pair<const std::string, Json>>;
    Pairs& pairs = parent.value->get_ref<Json::object_t&>();
    pairs.emplace_back(parent.key, std::move(value));
    return &pairs.back().second;
  }

  bool open(Json empty) {
    if (frames_.size() >= kMaxNestingDepth) {
      return stop(pathOfNext(),
                  "nested deeper than " + std::to_string(kMaxNestingDepth) + " levels");
    }
    std::string segment;
    if (!frames_.empty()) {
      const Frame& parent = frames_.back();
      if (parent.value->is_array()) {
        segment = "[" + std::to_string(parent.value->size()) + "]";
      } else {
        const bool atTop = std::all_of(frames_.begin(), frames_.end(),
                                       [](const Frame& frame) { return frame.segment.empty(); });
        segment = atTop ? parent.key : "." + parent.key;
      }
    }
    Frame frame;
    frame.value = add(std::move(empty));
    frame.segment = std::move(segment);
    frames_.push_back(std::move(frame));
    return true;
  }

  bool close() {
    frames_.pop_back();
    return true;
  }

  bool stop(std::string path, std::string message) {
    if (!failure_) failure_ = JsonReadFailure{std::move(path), std::move(message)};
    return false;
  }

  const std::string& text_;
  Json root_;
  std::vector<Frame> frames_;
  std::optional<JsonReadFailure> failure_;
};

}  // namespace

void fail(std::string jsonPath, std::string message) {
  throw JsonReadFailure{std::move(jsonPath), std::move(message)};
}

void failUnknownEnum(const std::string& path, const std::string& text,
                     const std::vector<std::string_view>& names) {
  std::string message = "unknown value \"" + text + "\"; expected one of ";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) message += ", ";
    message += "\"" + std::string(names[i]) + "\"";
  }
  fail(path, message);
}

std::string keyPath(const std::string& parent, std::string_view key) {
  if (parent.empty()) return std::string(key);
  return parent + "." + std::string(key);
}

std::string indexPath(const std::string& parent, std::size_t index) {
  return parent + "[" + std::to_string(index) + "]";
}

Json parseStrict(const std::string& text) {
  StrictBuilder builder(text);
  const bool valid = Json::sax_parse(text, &builder);
  if (builder.failure()) throw *builder.failure();
  if (!valid) fail("", "not valid JSON");
  return std::move(builder.result());
}

double readNumber(const Json& value, const std::string& path, NumberRange range) {
  if (!value.is_number()) failType(path, "a number", value);
  const double number = value.get<double>();
  checkRange(number, path, range);
  return number;
}

std::int64_t readInteger(const Json& value, const std::string& path, NumberRange range) {
  if (!value.is_number()) failType(path, "a whole number", value);
  std::int64_t integer = 0;
  if (value.is_number_unsigned()) {
    const auto unsignedValue = value.get<std::uint64_t>();
    if (unsignedValue > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      fail(path, "number too large");
    }
    integer = static_cast<std::int64_t>(unsignedValue);
  } else if (value.is_number_integer()) {
    integer = value.get<std::int64_t>();
  } else {
    const double number = value.get<double>();
    if (std::trunc(number) != number || std::fabs(number) > 9.0e15) {
      fail(path, "expected a whole number, got " + formatNumber(number));
    }
    integer = static_cast<std::int64_t>(number);
  }
  checkRange(static_cast<double>(integer), path, range);
  return integer;
}

bool readFlag(const Json& value, const std::string& path) {
  if (!value.is_boolean()) failType(path, "true or false", value);
  return value.get<bool>();
}

std::string readText(const Json& value, const std::string& path) {
  if (!value.is_string()) failType(path, "text", value);
  return value.get<std::string>();
}

std::vector<ListElement> readList(const Json& value, const std::string& path) {
  if (!value.is_array()) failType(path, "a list", value);
  std::vector<ListElement> elements;
  elements.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i)
    elements.push_back({value[i], indexPath(path, i)});
  return elements;
}

ObjectReader::ObjectReader(const Json& value, std::string path,
                           std::initializer_list<std::string_view> allowedKeys)
    : value_(value), path_(std::move(path)) {
  expectObject(value_, path_);
  for (const auto& [key, unused] : value_.items()) {
    if (std::find(allowedKeys.begin(), allowedKeys.end(), key) != allowedKeys.end()) continue;
    std::string message = "unknown key";
    if (auto suggestion = closestName(key, std::vector<std::string_view>(allowedKeys))) {
      message += " (did you mean \"" + *suggestion + "\"?)";
    }
    fail(pathOf(key), message);
  }
}

const Json* ObjectReader::find(std::string_view key) const {
  auto it = value_.find(std::string(key));
  return it == value_.end() ? nullptr : &*it;
}

const Json& ObjectReader::require(std::string_view key) const {
  const Json* value = find(key);
  if (value == nullptr) fail(pathOf(key), "required but missing");
  return *value;
}

void ObjectReader::number(std::string_view key, double& field, NumberRange range) {
  if (const Json* value = find(key)) field = readNumber(*value, pathOf(key), range);
}

void ObjectReader::number(std::string_view key, std::optional<double>& field, NumberRange range) {
  const Json* value = find(key);
  if (value == nullptr || value->is_null()) return;
  field = readNumber(*value, pathOf(key), range);
}

void ObjectReader::flag(std::string_view key, bool& field) {
  if (const Json* value = find(key)) field = readFlag(*value, pathOf(key));
}

void ObjectReader::text(std::string_view key, std::string& field) {
  if (const Json* value = find(key)) field = readText(*value, pathOf(key));
}

void ObjectReader::text(std::string_view key, std::optional<std::string>& field) {
  const Json* value = find(key);
  if (value == nullptr) return;
  if (value->is_null()) {
    field.reset();
    return;
  }
  field = readText(*value, pathOf(key));
}

void expectObject(const Json& value, const std::string& path) {
  if (!value.is_object()) failType(path, "an object", value);
}

platform::Point readPoint(const Json& value, const std::string& path) {
  ObjectReader object(value, path, {"x", "y"});
  platform::Point point;
  point.x = readNumber(object.require("x"), object.pathOf("x"));
  point.y = readNumber(object.require("y"), object.pathOf("y"));
  return point;
}

platform::Size readSize(const Json& value, const std::string& path) {
  ObjectReader object(value, path, {"width", "height"});
  platform::Size size;
  size.width =
      readNumber(object.require("width"), object.pathOf("width"), NumberRange::nonNegative());
  size.height =
      readNumber(object.require("height"), object.pathOf("height"), NumberRange::nonNegative());
  return size;
}

platform::Rect readRect(const Json& value, const std::string& path) {
  ObjectReader object(value, path, {"x", "y", "width", "height"});
  platform::Rect rect;
  rect.x = readNumber(object.require("x"), object.pathOf("x"));
  rect.y = readNumber(object.require("y"), object.pathOf("y"));
  rect.width =
      readNumber(object.require("width"), object.pathOf("width"), NumberRange::nonNegative());
  rect.height =
      readNumber(object.require("height"), object.pathOf("height"), NumberRange::nonNegative());
  return rect;
}

}  // namespace tucklet::sim::world_json
