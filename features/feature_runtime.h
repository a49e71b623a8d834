// FeatureRuntime: the live side of the feature configuration. It keeps the global shortcuts
// registered in step with the configuration, evaluates the automation rules about once a second
// and applies the first matching rule's preset to the visibility settings (restoring the user's
// own settings when no rule matches any more), and opens the overflow bar when the pointer rests
// on Tucklet's icon (hover reveal) or the user scrolls over it (scroll reveal).
//
// The runtime holds a timer only while hover reveal is on, or while rules (or settings waiting to
// be restored) need evaluating with the native visibility backend; it holds scroll monitors only
// while scroll reveal is on. Stopping it writes the user's own visibility settings back, so
// quitting never stores a rule's preset.
#pragma once

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "features/automation_rules.h"
#include "features/feature_configuration.h"
#include "features/shortcut_registry.h"
#include "inventory/bar_item.h"
#include "platform/connection.h"
#include "platform/lifetime.h"
#include "platform/platform.h"
#include "preferences/preferences.h"

namespace tucklet {

class StatusItem;

class FeatureRuntime {
 public:
  // The parts the runtime acts on. Entries of parts that do not exist stay empty and the action
  // does nothing.
  struct Links {
    // The access panel (search field and overflow bar).
    std::function<bool()> accessPanelShown;
    std::function<void(bool search)> showAccessPanel;
    std::function<void()> closeAccessPanel;
    // The visibility engine: the automatic fold's countdown starts again.
    std::function<void()> scheduleAutoCollapse;
    // The inventory and the item opener.
    std::function<const std::vector<BarItem>&()> items;
    std::function<void(const BarItem&)> openItem;
    // The controller: the reveal toggle, and the lines the last registration pass reported.
    std::function<void()> toggleReveal;
    std::function<void(const std::vector<std::string>&)> shortcutErrorsChanged;
  };

  // Observes application activations and synchronises.
  FeatureRuntime(platform::Platform& platform, Preferences& preferences,
                 const platform::Lifetime& lifetime, bool nativeVisibility,
                 std::string ownBundleIdentifier, const StatusItem& statusItem, Links links);
  // Stops (when not stopped yet).
  ~FeatureRuntime();
  FeatureRuntime(const FeatureRuntime&) = delete;
  FeatureRuntime& operator=(const FeatureRuntime&) = delete;

  // The timer, the scroll monitors and the shortcuts follow the configuration.
  void synchronise();
  // One of the four visibility settings changed: a change the user made while a rule's preset is
  // in force becomes what returns when no rule matches.
  void visibilityChanged();
  // A preset chosen by hand (items menu, preset shortcut, presets pane).
  void applyPresetManually(const VisibilityPreset& preset);
  // While a shortcut is recorded no hot key is registered, so its combination reaches the recorder.
  void setRecordingShortcut(bool recording);
  // Runs a shortcut's action.
  void perform(const KeyboardShortcut& shortcut);
  // Releases the timer, the observer, the monitors and the hot keys, and writes the user's own
  // visibility settings back. Nothing runs afterwards.
  void stop();

  // The timer's work: hover reveal, then the rules (at most once a second).
  void tick();

  const ShortcutRegistry& shortcuts() const { return *shortcuts_; }
  const AutomaticVisibilityState& automaticState() const { return automaticState_; }
  std::optional<double> timerInterval() const { return timerInterval_; }
  bool hasScrollMonitors() const { return scrollMonitor_ || localScrollMonitor_; }
  bool recordingShortcut() const { return recordingShortcut_; }
  const std::string& lastExternalBundle() const { return lastExternalBundle_; }

 private:
  void hoverStep(double now);
  void evaluateRules(double now);
  RuleContext readContext();
  void noteActivation();
  void scrolled(const platform::InputEvent& event);
  bool pointerOverIcon() const;
  void applyAutomatic(const VisibilityPreset& preset);
  void showAccessPanel(bool search);

  platform::Platform& platform_;
  Preferences& preferences_;
  const platform::Lifetime& lifetime_;
  const bool nativeVisibility_;
  const std::string ownBundleIdentifier_;
  const StatusItem& statusItem_;
  Links links_;

  std::unique_ptr<ShortcutRegistry> shortcuts_;
  platform::TimerRef timer_;
  std::optional<double> timerInterval_;
  std::unique_ptr<platform::EventMonitor> scrollMonitor_;
  std::unique_ptr<platform::EventMonitor> localScrollMonitor_;
  platform::Connection activationObserver_;

  static constexpr double distantPast = -std::numeric_limits<double>::infinity();
  std::optional<double> hoverStarted_;
  bool hoverFired_ = false;
  double lastScroll_ = distantPast;
  double lastRuleCheck_ = distantPast;
  AutomaticVisibilityState automaticState_;
  std::string lastExternalBundle_;
  bool recordingShortcut_ = false;
  std::optional<std::vector<KeyboardShortcut>> configuredShortcuts_;
  bool applyingAutomatic_ = false;
  bool stopped_ = false;
};

}  // namespace tucklet
