// Self-tests driven from outside: "--verify" writes the diagnose report shortly after start-up,
// "--smoke-test" opens the settings window, runs the smoke checks, writes a picture of the window
// and the report, and from then on takes the 20 test commands from the distributed notification
// centre, each acting on the live program and rewriting the report after it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "diagnostics/diagnose_report.h"
#include "inventory/bar_item.h"
#include "platform/connection.h"
#include "platform/lifetime.h"

namespace tucklet {

class Preferences;

// The notification a test command arrives as: this prefix and the command's name.
inline constexpr const char* testCommandPrefix = "local.quenby.Quiverly.test.";
// The 20 commands, in the order they are registered.
extern const std::vector<std::string> testCommandNames;

inline constexpr double verifyDelay = 1.5;
inline constexpr double smokeCheckDelay = 0.8;
inline constexpr double commandReportDelay = 0.8;
inline constexpr double closeMenuReportDelay = 1.3;

class SelfTest {
 public:
  // What the commands do to the parts built before this one.
  struct Links {
    std::function<void()> showAll;
    std::function<void(std::function<void()> done)> refreshInventory;
    std::function<void()> collapse;
    std::function<void()> beginSetup;
    // A plain click on the status item (no right button, no Option).
    std::function<void()> clickStatusItem;
    std::function<void(const BarItem&)> openItem;
    std::function<void()> openSettingsWindow;
    std::function<void(std::string)> setSettingsTab;
    std::function<void()> refreshStatusItem;
    std::function<void()> cancelMenuTracking;
    // Writes a PNG of the settings window's content; false when there is nothing to draw.
    std::function<bool(const std::string& path)> writeSettingsPicture;
  };

  SelfTest(platform::Platform& platform, Preferences& preferences,
           const platform::Lifetime& lifetime, DiagnoseSources sources, Links links);
  SelfTest(const SelfTest&) = delete;
  SelfTest& operator=(const SelfTest&) = delete;

  // "--verify PATH": the report, with no tests, `verifyDelay` seconds from now.
  void scheduleVerify(const std::string& path);
  // "--smoke-test PATH": opens the settings window, runs the checks after `smokeCheckDelay`
  // seconds and registers the test commands (at once).
  void startSmokeTest(const std::string& path);
  // One test command (the last dot-separated part of the notification's name). Nothing while
  // there is no smoke-test report path.
  void testCommand(const std::string& notificationName);

  // The smoke-test report path; nothing outside "--smoke-test".
  const std::optional<std::string>& testOutput() const { return testOutput_; }

 private:
  void runSmokeChecks();
  void writeReportAfter(double seconds);
  void writeReport(const std::string& path, nlohmann::json tests) const;
  void openFirstMatching(const std::function<bool(const BarItem&)>& matches);
  void closeMenu();

  platform::Platform& platform_;
  Preferences& preferences_;
  const platform::Lifetime& lifetime_;
  DiagnoseSources sources_;
  Links links_;
  std::optional<std::string> testOutput_;
  std::vector<platform::Connection> commandObservers_;
};

}  // namespace tucklet
