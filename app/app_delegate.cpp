#include "app/app_delegate.h"

namespace tucklet {

namespace {

platform::MenuRow editRow(const char* title, const char* selector, const char* key,
                          std::uint32_t modifiers = platform::ModifierCommand) {
  platform::MenuRow row;
  row.title = title;
  row.selector = selector;
  row.keyEquivalent = key;
  row.keyModifiers = modifiers;
  return row;
}

}  // namespace

platform::MenuModel makeMainMenu() {
  platform::MenuModel menu;
  platform::MenuRow application;
  application.submenuTitle = "tucklet";
  menu.rows.push_back(application);

  platform::MenuRow edit;
  edit.title = "Edit";
  edit.submenuTitle = "Edit";
  edit.submenu = {
      editRow("Undo", "undo:", "z"),
      editRow("Redo", "redo:", "z", platform::ModifierShift | platform::ModifierCommand),
      platform::MenuRow::separator(),
      editRow("Cut", "cut:", "x"),
      editRow("Copy", "copy:", "c"),
      editRow("Paste", "paste:", "v"),
      editRow("Select All", "selectAll:", "a"),
  };
  menu.rows.push_back(edit);
  return menu;
}

platform::ActivationPolicy initialActivationPolicy(platform::Platform& platform) {
  // A short-lived store, only to read whether setup was finished.
  const Preferences preferences(platform.defaults);
  const bool setUp = platform.accessibility.isProcessTrusted() && preferences.setupComplete();
  return setUp ? platform::ActivationPolicy::Accessory : platform::ActivationPolicy::Regular;
}

AppDelegate::AppDelegate(platform::Platform& platform, Arguments arguments, bool profileOnboarding_,
                         InstanceClaim claimInstance)
    : profileOnboarding(profileOnboarding_),
      platform_(platform),
      arguments_(std::move(arguments)),
      claimInstance_(std::move(claimInstance)) {}

void AppDelegate::applicationWillFinishLaunching() {
  platform_.menus.setMainMenu(makeMainMenu());
}

void AppDelegate::applicationDidFinishLaunching() {
  const auto bundle = ownBundleIdentifier(platform_.workspace);
  const auto self = platform_.workspace.currentProcessId();
  for (const auto& app : platform_.workspace.runningApplications()) {
    if (app.bundleIdentifier == bundle && app.pid != self) {
      platform_.application.terminate();
      return;
    }
  }
  if (claimInstance_ && !claimInstance_(bundle)) {
    platform_.application.terminate();
    return;
  }
  controller = std::make_shared<BarController>(platform_, arguments_, profileOnboarding, settingsViews);
}

void AppDelegate::applicationWillTerminate() {
  if (controller) controller->applicationWillTerminate();
}

bool AppDelegate::applicationShouldHandleReopen(bool) {
  return true;
}

}  // namespace tucklet
