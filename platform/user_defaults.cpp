#include "platform/user_defaults.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tucklet::platform {

namespace {

std::string lowered(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::optional<double> parseDouble(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  if (end == begin) return std::nullopt;
  return value;
}

std::string formatNumber(double value) {
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15) {
    return std::to_string(static_cast<long long>(value));
  }
  char buffer[64];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, ptr) : std::string();
}

}  // namespace

bool UserDefaults::boolForKey(const std::string& key) const {
  const auto value = objectForKey(key);
  if (!value) return false;
  if (value->isBool()) return value->asBool();
  if (value->isInteger()) return value->asInteger() != 0;
  if (value->isReal()) return value->asReal() != 0;
  if (value->isString()) {
    const auto text = lowered(value->asString());
    if (text == "yes" || text == "true") return true;
    const auto number = parseDouble(text);
    return number && *number != 0;
  }
  return false;
}

double UserDefaults::doubleForKey(const std::string& key) const {
  const auto value = objectForKey(key);
  if (!value) return 0;
  if (value->isReal()) return value->asReal();
  if (value->isInteger()) return static_cast<double>(value->asInteger());
  if (value->isBool()) return value->asBool() ? 1 : 0;
  if (value->isString()) return parseDouble(value->asString()).value_or(0);
  return 0;
}

std::int64_t UserDefaults::integerForKey(const std::string& key) const {
  const auto value = objectForKey(key);
  if (!value) return 0;
  if (value->isInteger()) return value->asInteger();
  return static_cast<std::int64_t>(doubleForKey(key));
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
  const auto value = objectForKey(key);
  if (!value) return std::nullopt;
  if (value->isString()) return value->asString();
  if (value->isInteger()) return std::to_string(value->asInteger());
  if (value->isReal()) return formatNumber(value->asReal());
  return std::nullopt;
}

std::optional<std::vector<std::string>> UserDefaults::stringArrayForKey(
    const std::string& key) const {
  const auto value = objectForKey(key);
  if (!value || !value->isArray()) return std::nullopt;
  std::vector<std::string> result;
  for (const auto& element : value->asArray()) {
    if (!element.isString()) return std::nullopt;
    result.push_back(element.asString());
  }
  return result;
}

std::optional<PlistArray> UserDefaults::arrayForKey(const std::string& key) const {
  const auto value = objectForKey(key);
  if (!value || !value->isArray()) return std::nullopt;
  return value->asArray();
}

std::optional<PlistData> UserDefaults::dataForKey(const std::string& key) const {
  const auto value = objectForKey(key);
  if (!value || !value->isData()) return std::nullopt;
  return value->asData();
}

void MemoryUserDefaults::registerDefaults(const PlistDict& values) {
  for (const auto& [key, value] : values) registration_[key] = value;
}

std::optional<PlistValue> MemoryUserDefaults::objectForKey(const std::string& key) const {
  if (auto it = persistent_.find(key); it != persistent_.end()) return it->second;
  if (auto it = registration_.find(key); it != registration_.end()) return it->second;
  return std::nullopt;
}

void MemoryUserDefaults::setObject(const std::string& key, const PlistValue& value) {
  persistent_[key] = value;
  ++writes_;
}

void MemoryUserDefaults::removeObject(const std::string& key) {
  persistent_.erase(key);
  ++writes_;
}

}  // namespace tucklet::platform
