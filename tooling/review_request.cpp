#include "tooling/review_request.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace tucklet {

std::string sanitisedCaptureName(std::string name) {
  std::replace(name.begin(), name.end(), '/', '-');
  std::replace(name.begin(), name.end(), '\0', '-');
  return name;
}

std::uint32_t ReviewRequest::modifiers() const {
  return (option ? platform::ModifierOption : 0u) | (command ? platform::ModifierCommand : 0u) |
         (control ? platform::ModifierControl : 0u) | (shift ? platform::ModifierShift : 0u);
}

std::optional<ReviewRequest> ReviewRequest::parse(std::string_view text) {
  const auto json = nlohmann::json::parse(text, nullptr, false);
  if (!json.is_object()) return std::nullopt;
  ReviewRequest request;
  bool valid = true;
  const auto number = [&](const char* key, double& into) {
    const auto member = json.find(key);
    if (member == json.end()) return;
    if (member->is_number() && std::isfinite(member->get<double>()))
      into = member->get<double>();
    else
      valid = false;
  };
  const auto optionalNumber = [&](const char* key, std::optional<double>& into) {
    if (!json.contains(key)) return;
    double value = 0;
    number(key, value);
    into = value;
  };
  const auto flag = [&](const char* key, bool& into) {
    const auto member = json.find(key);
    if (member == json.end()) return;
    if (member->is_boolean())
      into = member->get<bool>();
    else
      valid = false;
  };
  const auto string = [&](const char* key, std::string& into) {
    const auto member = json.find(key);
    if (member == json.end()) return;
    if (member->is_string())
      into = member->get<std::string>();
    else
      valid = false;
  };
  const auto integer = [&](const char* key, std::int64_t low, std::int64_t high,
                           std::int64_t& into) {
    const auto member = json.find(key);
    if (member == json.end()) return;
    if (!member->is_number_integer() ||
        (member->is_number_unsigned() &&
         member->get<std::uint64_t>() > static_cast<std::uint64_t>(high))) {
      valid = false;
      return;
    }
    const auto n = member->get<std::int64_t>();
    if (n < low || n > high)
      valid = false;
    else
      into = n;
  };

  string("action", request.action);
  number("x", request.x);
  number("y", request.y);
  flag("option", request.option);
  flag("command", request.command);
  if (const auto command = json.find("command"); command != json.end() && command->is_boolean())
    request.commandGiven = command->get<bool>();
  flag("control", request.control);
  flag("shift", request.shift);
  std::int64_t code = request.code;
  std::int64_t amount = request.amount;
  integer("code", 0, 65535, code);
  integer("amount", std::numeric_limits<std::int32_t>::min(),
          std::numeric_limits<std::int32_t>::max(), amount);
  request.code = static_cast<std::uint16_t>(code);
  request.amount = static_cast<std::int32_t>(amount);
  string("text", request.text);
  number("toX", request.toX);
  number("toY", request.toY);
  if (const auto item = json.find("item"); item != json.end()) request.item = *item;
  if (json.contains("child")) {
    std::string child;
    string("child", child);
    request.child = child;
  }
  request.delay = request.action == "drag" ? dragDelay : defaultDelay;
  number("delay", request.delay);
  string("name", request.name);
  optionalNumber("cropX", request.cropX);
  optionalNumber("cropY", request.cropY);
  optionalNumber("width", request.width);
  optionalNumber("height", request.height);

  static constexpr std::array<std::string_view, 10> actions = {
      "capture", "quit",   "click", "right-click", "move",
      "key",     "scroll", "type",  "drag",        "probe-hidden"};
  if (std::find(actions.begin(), actions.end(), request.action) == actions.end()) valid = false;
  if (request.delay < 0) valid = false;
  if (!valid) return std::nullopt;
  request.name = sanitisedCaptureName(std::move(request.name));
  return request;
}

}  // namespace tucklet
