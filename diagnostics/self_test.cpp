#include "diagnostics/self_test.h"

#include <filesystem>

#include "inventory/ax_reads.h"
#include "inventory/system_control.h"
#include "menubar/item_lookups.h"
#include "menubar/item_opener.h"
#include "menubar/items_menu.h"
#include "menubar/status_item.h"
#include "platform/distributed_notifications.h"
#include "preferences/preferences.h"
#include "ui/settings/settings_window.h"

namespace tucklet {

const std::vector<std::string> testCommandNames = {
    "diagnose",   "reveal",       "collapse",           "finish",       "picker",
    "popover",    "open-first",   "close-menu",         "open-raycast", "open-obsidian",
    "open-drive", "open-wifi",    "open-controlcenter", "quit",         "wait-collapse",
    "tab-setup",  "tab-behavior", "tab-appearance",     "tab-items",    "tab-about"};

namespace {

// Seconds between dismissing the active item's menu and checking whether it went, and between the
// click on the status item that follows and closing the items menu.
constexpr double closeMenuCheckDelay = 0.25;
constexpr double closeMenuCancelDelay = 0.3;

}  // namespace

SelfTest::SelfTest(platform::Platform& platform, Preferences& preferences,
                   const platform::Lifetime& lifetime, DiagnoseSources sources, Links links)
    : platform_(platform),
      preferences_(preferences),
      lifetime_(lifetime),
      sources_(std::move(sources)),
      links_(std::move(links)) {}

void SelfTest::writeReport(const std::string& path, nlohmann::json tests) const {
  // A report that cannot be written is not an error anyone could see: the file stays as it was.
  writeJsonReport(path, diagnoseReport(sources_, std::move(tests)));
}

void SelfTest::scheduleVerify(const std::string& path) {
  platform_.runLoop.asyncAfter(
      verifyDelay, lifetime_.guard([this, path] { writeReport(path, nlohmann::json::array()); }));
}

void SelfTest::startSmokeTest(const std::string& path) {
  testOutput_ = path;
  links_.openSettingsWindow();
  platform_.runLoop.asyncAfter(smokeCheckDelay, lifetime_.guard([this] { runSmokeChecks(); }));
  if (!platform_.notifications) return;
  for (const auto& command : testCommandNames) {
    commandObservers_.push_back(platform_.notifications->addObserver(
        testCommandPrefix + command,
        lifetime_.guard([this](const platform::DistributedNotification& notification) {
          testCommand(notification.name);
        })));
  }
}

void SelfTest::runSmokeChecks() {
  const std::string symbol = preferences_.symbol();
  const bool showCount = preferences_.showCount();
  auto results = nlohmann::json::array();
  const auto add = [&results](const std::string& name, bool passed) {
    results.push_back({{"name", name}, {"passed", passed}});
  };
  const auto& toggle = sources_.statusItem.item();
  const auto& window = sources_.settingsWindow;
  add("settings window visible", window.windowCreated() && window.windowVisible());
  add("status button exists",
      toggle && toggle->hasButton() && toggle->buttonScreenFrame().has_value());
  add("visibility engine available", sources_.nativeVisibility || layoutValid(sources_));
  for (const auto barSymbol : allBarSymbols) {
    preferences_.setSymbol(std::string(rawValue(barSymbol)));
    links_.refreshStatusItem();
    add("render " + std::string(label(barSymbol)) + " icon", toggle && toggle->image() != nullptr);
  }
  preferences_.setShowCount(true);
  links_.refreshStatusItem();
  add("item count preference", preferences_.showCount());

  // An unchanged symbol is only announced again; either way the icon is what it was.
  preferences_.setSymbol(symbol);
  preferences_.setShowCount(showCount);
  links_.refreshStatusItem();

  if (!testOutput_) return;
  if (links_.writeSettingsPicture) {
    const auto folder = std::filesystem::path(*testOutput_).parent_path();
    links_.writeSettingsPicture((folder / "settings.png").string());
  }
  writeReport(*testOutput_, std::move(results));
}

void SelfTest::writeReportAfter(double seconds) {
  platform_.runLoop.asyncAfter(seconds, lifetime_.guard([this] {
    if (testOutput_) writeReport(*testOutput_, nlohmann::json::array());
  }));
}

void SelfTest::openFirstMatching(const std::function<bool(const BarItem&)>& matches) {
  for (const auto& item : sources_.itemsMenu.listedItems()) {
    if (matches(item)) {
      links_.openItem(item);
      return;
    }
  }
}

void SelfTest::testCommand(const std::string& notificationName) {
  if (!testOutput_) return;
  const auto dot = notificationName.rfind('.');
  const std::string command =
      dot == std::string::npos ? notificationName : notificationName.substr(dot + 1);
  const auto& workspace = platform_.workspace;
  const auto ownedBy = [&workspace](const BarItem& item, const char* bundle) {
    return ownerBundle(item, workspace) == bundle;
  };
  const auto isControl = [&workspace](const BarItem& item, SystemControl control) {
    return systemControl(item, workspace) == control;
  };

  if (command == "diagnose") {
  } else if (command == "reveal") {
    links_.showAll();
  } else if (command == "collapse") {
    links_.refreshInventory(lifetime_.guard([this] { links_.collapse(); }));
  } else if (command == "finish") {
    links_.beginSetup();
  } else if (command == "picker" || command == "popover") {
    links_.clickStatusItem();
    return;  // the menu stays open: no report
  } else if (command == "open-first") {
    openFirstMatching([](const BarItem&) { return true; });
  } else if (command == "open-raycast") {
    openFirstMatching([&](const BarItem& item) {
      return ownedBy(item, "com.raycast.macos") && item.name == "Raycast";
    });
  } else if (command == "open-obsidian") {
    openFirstMatching([&](const BarItem& item) {
      return ownedBy(item, "com.raycast.macos") && item.name == "Obsidian";
    });
  } else if (command == "open-drive") {
    openFirstMatching([&](const BarItem& item) { return ownedBy(item, "com.google.drivefs"); });
  } else if (command == "open-wifi") {
    openFirstMatching([&](const BarItem& item) { return isControl(item, SystemControl::wifi); });
  } else if (command == "open-controlcenter") {
    openFirstMatching(
        [&](const BarItem& item) { return isControl(item, SystemControl::controlCenter); });
  } else if (command == "close-menu") {
    closeMenu();
    writeReportAfter(closeMenuReportDelay);
    return;
  } else if (command == "quit") {
    platform_.application.terminate();
  } else if (command == "wait-collapse") {
    writeReportAfter(preferences_.collapseDelay() + 2);
    return;
  } else if (command.starts_with("tab-")) {
    links_.openSettingsWindow();
    links_.setSettingsTab(command.substr(4));
  } else {
    return;  // not one of the 20
  }
  writeReportAfter(commandReportDelay);
}

void SelfTest::closeMenu() {
  const auto& ax = platform_.accessibility;
  const auto& opener = sources_.opener;
  const auto& active = opener.activeItem();
  const auto& last = opener.lastOpenedItem();
  const auto openedNewWindow = [this](const BarItem& item, const WindowNumbers& before) {
    for (const auto number : ownerWindowNumbers(platform_.windowServer, platform_.workspace, item))
      if (!before.contains(number)) return true;
    return false;
  };
  // A second press dismisses what the first one opened.
  if (!active && last && openedNewWindow(*last, opener.lastOpenedBeforeWindows()))
    pressItem(ax, *last);
  if (active && !activeUIVisible(sources_) &&
      openedNewWindow(*active, opener.lastOpenedBeforeWindows()))
    pressItem(ax, *active);
  if (active) {
    for (const auto& child : readChildren(ax, active->element))
      ax.performAction(child, "AXCancel");
  }
  platform::InputEvent escape;
  escape.type = platform::EventType::KeyDown;
  escape.keyCode = platform::key_code::Escape;
  platform_.windowServer.postEvent(escape);
  escape.type = platform::EventType::KeyUp;
  platform_.windowServer.postEvent(escape);

  platform_.runLoop.asyncAfter(closeMenuCheckDelay, lifetime_.guard([this] {
    const auto& stillActive = sources_.opener.activeItem();
    if (!stillActive || !activeUIVisible(sources_)) return;
    if (itemMenus(platform_.accessibility, *stillActive).empty())
      pressItem(platform_.accessibility, *stillActive);
    // A click on Tucklet's own icon takes the focus away from whatever is still open.
    const auto& toggle = sources_.statusItem.item();
    const auto frame = toggle ? toggle->buttonScreenFrame() : std::nullopt;
    if (frame) {
      platform::InputEvent click;
      click.type = platform::EventType::LeftMouseDown;
      click.location = {frame->midX(), frame->midY()};
      platform_.windowServer.postEvent(click);
      click.type = platform::EventType::LeftMouseUp;
      platform_.windowServer.postEvent(click);
    }
    platform_.runLoop.asyncAfter(closeMenuCancelDelay,
                                 lifetime_.guard([this] { links_.cancelMenuTracking(); }));
  }));
}

}  // namespace tucklet
