// The diagnose report: one JSON object describing everything of Tucklet a person could see or a
// test could ask about - trust, the status items and their frames, the items menu, the item being
// opened and its windows, the settings window, the screens, a probe of the menu bar and a fresh
// scan of its items. It reads the parts through their public interfaces only.
#pragma once

#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/accessibility.h"
#include "platform/geometry.h"
#include "platform/platform.h"

namespace tucklet {

class Preferences;
class StatusItem;
class Divider;
class ItemsMenu;
class VisibilityEngine;
class Inventory;
class ItemOpener;
class SettingsWindow;
class OnboardingController;
class Notice;

// What the report (and the review's state record) reads.
struct DiagnoseSources {
  platform::Platform& platform;
  const Preferences& preferences;
  const StatusItem& statusItem;
  const Divider& divider;
  const ItemsMenu& itemsMenu;
  const VisibilityEngine& engine;
  const Inventory& inventory;
  const ItemOpener& opener;
  const SettingsWindow& settingsWindow;
  const Notice& notice;
  std::function<const OnboardingController*()> onboarding;
  bool nativeVisibility = false;
};

// Rectangles in the platform's text form: "{{x, y}, {w, h}}".
std::string rectText(const platform::Rect& rect);

// The status item's button frame as {"x", "y" from the top of the first screen, "width",
// "height"}; an empty object without a frame or a screen.
nlohmann::json frameFromTop(const std::optional<platform::Rect>& frame,
                            const std::vector<platform::Screen>& screens);

// The probe along the right half of the first screen's menu bar (1512 points wide without a
// screen) at y = 15: one entry wherever the element found changes.
nlohmann::json barHitTests(const platform::Accessibility& ax,
                           const std::vector<platform::Screen>& screens);

// An element's string and number attributes, its frame, and (at the top level) its children's
// dumps.
nlohmann::json elementDump(const platform::Accessibility& ax, const platform::AXElementRef& element,
                           bool withChildren = true);

// The item being opened has its menu open / its menu or a window it opened is still present.
bool activeMenuOpen(const DiagnoseSources& sources);
bool activeUIVisible(const DiagnoseSources& sources);
// The divider stands just left of the icon, in the same row of the menu bar.
bool layoutValid(const DiagnoseSources& sources);
// Some row of the items menu that stands for an item has a submenu.
bool appRowsHaveSubmenus(const ItemsMenu& itemsMenu);
// The status item's button shows itself pressed: while its menu or its session is open.
bool statusHighlighted(const DiagnoseSources& sources);

// The settings window's entry in the on-screen window list (frontmost of this process's ordinary
// windows while the settings window is visible); nothing while it is not shown.
std::optional<platform::WindowInfo> settingsWindowEntry(const DiagnoseSources& sources);

// The 42-key report; `tests` is the smoke run's results or an empty array.
nlohmann::json diagnoseReport(const DiagnoseSources& sources, nlohmann::json tests);

// Writes a report pretty-printed with sorted keys, replacing `path` atomically. False when it
// could not be encoded or written (the callers ignore that).
bool writeJsonReport(const std::string& path, const nlohmann::json& report);

}  // namespace tucklet
