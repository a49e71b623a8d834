// Interface review: an outside harness drives the real interface with synthetic input and gets,
// after each step, a picture of the top right of the screen (the right end of the menu bar and
// what opens below it) and a JSON record of Tucklet's state.
//
// Requests arrive as the distributed notification "local.quenby.Quiverly.ux" whose user
// information holds one entry "json": a JSON object with the optional members "action", "x",
// "y", "option", "command", "control", "shift", "code", "amount", "text", "toX", "toY", "item",
// "child", "delay", "name", "cropX", "cropY", "width" and "height" (tooling/review_request.h). A
// request that does not read is ignored.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "diagnostics/diagnose_report.h"
#include "platform/connection.h"
#include "platform/lifetime.h"
#include "platform/platform.h"
#include "tooling/review_request.h"

namespace tucklet {

inline constexpr const char* reviewNotificationName = "local.quenby.Quiverly.ux";
inline constexpr const char* screenCaptureSettingsURL =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_ScreenCapture";

// The 21-key state record a capture carries.
nlohmann::json reviewState(const DiagnoseSources& sources);

class UXReview {
 public:
  UXReview(platform::Platform& platform, const platform::Lifetime& lifetime, std::string directory,
           std::function<nlohmann::json()> state);
  UXReview(const UXReview&) = delete;
  UXReview& operator=(const UXReview&) = delete;

  // Makes the folder, listens for requests and asks for screen recording when it is missing.
  void start();
  // One request: the text of its "json" entry.
  void command(const std::string& json);

  const std::string& directory() const { return directory_; }
  double lastInputAt() const { return lastInputAt_; }
  const nlohmann::json& probe() const { return probe_; }

 private:
  using Request = ReviewRequest;
  void post(const Request& request);
  bool probeHidden(const Request& request);
  void drag(const Request& request);
  void capture(const Request& request);
  platform::Point screenPoint(double x, double y) const;

  platform::Platform& platform_;
  const platform::Lifetime& lifetime_;
  const std::string directory_;
  std::function<nlohmann::json()> state_;
  double lastInputAt_ = 0;
  nlohmann::json probe_ = nlohmann::json::object();
  platform::Connection observer_;
};

}  // namespace tucklet
