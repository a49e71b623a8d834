// The interface-review request parser: any bytes give a request or nothing; a request it gives
// asks for a known action with finite numbers, a delay that is not negative and a capture name
// that stays inside the review folder, and written back as JSON it reads as the same request.
#include <cmath>

#include "tests/fuzz/fuzz_target.h"
#include "tooling/review_request.h"

namespace {

nlohmann::json written(const tucklet::ReviewRequest& r) {
  nlohmann::json json = {
      {"action", r.action},   {"x", r.x},         {"y", r.y},       {"option", r.option},
      {"control", r.control}, {"shift", r.shift}, {"code", r.code}, {"amount", r.amount},
      {"text", r.text},       {"toX", r.toX},     {"toY", r.toY},   {"delay", r.delay},
      {"name", r.name}};
  if (r.commandGiven) json["command"] = *r.commandGiven;
  if (r.item) json["item"] = *r.item;
  if (r.child) json["child"] = *r.child;
  if (r.cropX) json["cropX"] = *r.cropX;
  if (r.cropY) json["cropY"] = *r.cropY;
  if (r.width) json["width"] = *r.width;
  if (r.height) json["height"] = *r.height;
  return json;
}

bool same(const tucklet::ReviewRequest& a, const tucklet::ReviewRequest& b) {
  return a.action == b.action && a.x == b.x && a.y == b.y && a.modifiers() == b.modifiers() &&
         a.commandGiven == b.commandGiven && a.code == b.code && a.amount == b.amount &&
         a.text == b.text && a.toX == b.toX && a.toY == b.toY && a.item == b.item &&
         a.child == b.child && a.delay == b.delay && a.name == b.name && a.cropX == b.cropX &&
         a.cropY == b.cropY && a.width == b.width && a.height == b.height;
}

}  // namespace

TUCKLET_FUZZ_TARGET(review) {
  const auto request = tucklet::ReviewRequest::parse(tucklet::fuzz::text(data, size));
  if (!request) return;
  const auto& r = *request;
  bool finite = std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.toX) &&
                std::isfinite(r.toY) && std::isfinite(r.delay);
  for (const auto& value : {r.cropX, r.cropY, r.width, r.height})
    finite = finite && (!value || std::isfinite(*value));
  TUCKLET_FUZZ_CHECK("review", finite && r.delay >= 0,
                     "a number that is not finite or a negative delay");
  TUCKLET_FUZZ_CHECK(
      "review", r.name.find('/') == std::string::npos && r.name.find('\0') == std::string::npos,
      "a capture name that leaves the review folder");
  const auto again = tucklet::ReviewRequest::parse(written(r).dump());
  TUCKLET_FUZZ_CHECK("review", again && same(*again, r),
                     "a request that reads differently written back");
}
