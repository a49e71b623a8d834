// Property-list values: what the user defaults hold and what property-list files store.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tucklet::platform {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistDict = std::map<std::string, PlistValue>;
using PlistData = std::vector<std::uint8_t>;

// A date as seconds since 2001-01-01 00:00:00 UTC (the property-list epoch).
struct PlistDate {
  double secondsSinceReferenceDate = 0;
  friend bool operator==(const PlistDate&, const PlistDate&) = default;
};

class PlistValue {
 public:
  using Storage = std::variant<bool, std::int64_t, double, std::string, PlistData, PlistDate,
                               PlistArray, PlistDict>;

  PlistValue() : value_(false) {}
  PlistValue(bool v) : value_(v) {}
  PlistValue(int v) : value_(static_cast<std::int64_t>(v)) {}
  PlistValue(std::int64_t v) : value_(v) {}
  PlistValue(double v) : value_(v) {}
  PlistValue(const char* v) : value_(std::string(v)) {}
  PlistValue(std::string v) : value_(std::move(v)) {}
  PlistValue(PlistData v) : value_(std::move(v)) {}
  PlistValue(PlistDate v) : value_(v) {}
  PlistValue(PlistArray v) : value_(std::move(v)) {}
  PlistValue(PlistDict v) : value_(std::move(v)) {}

  bool isBool() const { return std::holds_alternative<bool>(value_); }
  bool isInteger() const { return std::holds_alternative<std::int64_t>(value_); }
  bool isReal() const { return std::holds_alternative<double>(value_); }
  bool isNumber() const { return isInteger() || isReal(); }
  bool isString() const { return std::holds_alternative<std::string>(value_); }
  bool isData() const { return std::holds_alternative<PlistData>(value_); }
  bool isDate() const { return std::holds_alternative<PlistDate>(value_); }
  bool isArray() const { return std::holds_alternative<PlistArray>(value_); }
  bool isDict() const { return std::holds_alternative<PlistDict>(value_); }

  bool asBool() const { return std::get<bool>(value_); }
  std::int64_t asInteger() const { return std::get<std::int64_t>(value_); }
  double asReal() const { return std::get<double>(value_); }
  const std::string& asString() const { return std::get<std::string>(value_); }
  const PlistData& asData() const { return std::get<PlistData>(value_); }
  const PlistDate& asDate() const { return std::get<PlistDate>(value_); }
  const PlistArray& asArray() const { return std::get<PlistArray>(value_); }
  const PlistDict& asDict() const { return std::get<PlistDict>(value_); }

  const Storage& storage() const { return value_; }

  friend bool operator==(const PlistValue& a, const PlistValue& b) { return a.value_ == b.value_; }

 private:
  Storage value_;
};

}  // namespace tucklet::platform
