// The settings window as a part of the controller: the selected tab (`settingsTab`), the rules for
// opening the window (onboarding instead while setup or trust is missing; a fresh inventory with
// the native backend, everything shown otherwise), and the window itself, made on first use and
// only ordered out when closed.
//
// The window's widgets are made by a view factory handed in by whoever runs the program with a
// display; without one (logic tests under virtual time) the part still keeps the window's state.
// `changed` tells the views that something they show has changed.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "features/feature_configuration.h"
#include "inventory/bar_item.h"
#include "platform/connection.h"
#include "platform/platform.h"
#include "preferences/preferences.h"
#include "updates/app_updater.h"
#include "visibility/notice.h"

namespace tucklet {

inline constexpr const char* settingsAutosaveName = "QuiverlySettings";

class SettingsWindow;

// What the window's panes read and call. Entries of parts that do not exist stay empty; the panes
// then leave out what depends on them.
struct SettingsContext {
  platform::Platform& platform;
  Preferences& preferences;
  AppUpdater& updates;
  const Notice& notice;
  SettingsWindow& window;
  bool nativeVisibility = false;

  std::function<const std::vector<BarItem>&()> items;
  std::function<bool()> trusted;
  std::function<bool()> loginEnabled;
  std::function<void(bool)> setLoginItem;
  std::function<void()> requestAccess;
  std::function<void()> startOnboarding;
  std::function<void()> beginSetup;
  std::function<void()> showAll;
  // The rule engine and shortcuts.
  std::function<void(const VisibilityPreset&)> applyPreset;
  std::function<std::vector<std::string>()> shortcutErrors;
  std::function<void(bool)> recordingChanged;
  // The access panel: the overflow bar, or its search field.
  std::function<void(bool search)> showAccessPanel;
};

// The window's widgets, as the part sees them.
class SettingsWindowView {
 public:
  virtual ~SettingsWindowView() = default;
  // Brings the window to the front as the key window.
  virtual void showAndMakeKey() = 0;
  virtual void orderOut() = 0;
};

// Makes the window's widgets; `closed` is called when the user closes the window.
using SettingsViewFactory = std::function<std::unique_ptr<SettingsWindowView>(
    SettingsContext& context, std::function<void()> closed)>;

class SettingsWindow {
 public:
  struct Links {
    std::function<bool()> setupInProgress;
    std::function<bool()> onboardingHandingOff;
    std::function<void()> closeItemsMenu;
    std::function<void()> closeAccessPanel;
    std::function<bool()> setupComplete;
    std::function<bool()> trusted;
    std::function<void()> startOnboarding;
    // Ends onboarding's hand-off and closes its welcome window, when there is onboarding.
    std::function<void()> dismissOnboarding;
    std::function<bool()> requestInventoryRefresh;
    std::function<void()> showAll;
  };

  // `context` is completed by the controller (its `window` is this part).
  SettingsWindow(platform::Platform& platform, bool nativeVisibility, std::string initialTab,
                 Links links, SettingsViewFactory factory);
  SettingsWindow(const SettingsWindow&) = delete;
  SettingsWindow& operator=(const SettingsWindow&) = delete;
  ~SettingsWindow();

  void setContext(std::unique_ptr<SettingsContext> context) { context_ = std::move(context); }

  const std::string& settingsTab() const { return settingsTab_; }
  // Selecting a sidebar row, or a caller choosing the tab before opening the window.
  void setSettingsTab(std::string tab);

  // The open-settings operation, with its refusals and its onboarding detour.
  void openSettingsWindow();
  // Orders the window out (setup finished); it stays made.
  void closeSettingsWindow();
  bool windowCreated() const { return created_; }
  bool windowVisible() const { return visible_; }

  // Something a pane shows changed (a preference, the items, trust, the notice, the updater).
  void stateChanged() { changed.emit(); }
  platform::Signal<> changed;

 private:
  platform::Platform& platform_;
  const bool nativeVisibility_;
  Links links_;
  SettingsViewFactory factory_;
  std::unique_ptr<SettingsContext> context_;
  std::string settingsTab_;
  bool created_ = false;
  bool visible_ = false;
  std::unique_ptr<SettingsWindowView> view_;
};

}  // namespace tucklet
