// One interface-review request: the JSON object an outside harness sends as the "json" entry of
// the "local.quenby.Quiverly.ux" notification, read into the step it asks for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/window_server.h"

namespace tucklet {

// What a capture file is called: "/" becomes "-", and so does a NUL, which no file name can hold.
std::string sanitisedCaptureName(std::string name);

struct ReviewRequest {
  static constexpr double defaultDelay = 0.5;
  static constexpr double dragDelay = 1.1;

  std::string action = "capture";
  double x = 0;
  double y = 0;
  bool option = false;
  bool command = false;
  bool control = false;
  bool shift = false;
  std::optional<bool> commandGiven;
  std::uint16_t code = platform::key_code::Escape;
  std::int32_t amount = -300;
  std::string text;
  double toX = 0;
  double toY = 0;
  std::optional<nlohmann::json> item;
  std::optional<std::string> child;
  double delay = defaultDelay;
  std::string name = "review";
  std::optional<double> cropX;
  std::optional<double> cropY;
  std::optional<double> width;
  std::optional<double> height;

  std::uint32_t modifiers() const;

  // Nothing for a request that is not a JSON object, has a member of the wrong type, a number
  // that is not finite, a "code" outside 0...65535, an "amount" outside 32 bits, a negative
  // "delay", or an "action" that is not one of the known ones.
  static std::optional<ReviewRequest> parse(std::string_view text);
};

}  // namespace tucklet
