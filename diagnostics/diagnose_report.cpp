#include "diagnostics/diagnose_report.h"

#include <cmath>
#include <cstdio>
#include <set>

#include "inventory/ax_reads.h"
#include "inventory/bar_item.h"
#include "inventory/inventory.h"
#include "inventory/scanner.h"
#include "menubar/item_lookups.h"
#include "menubar/item_opener.h"
#include "menubar/items_menu.h"
#include "menubar/status_item.h"
#include "platform/host/atomic_file.h"
#include "preferences/preferences.h"
#include "ui/onboarding/onboarding_controller.h"
#include "ui/settings/settings_window.h"
#include "visibility/divider.h"
#include "visibility/notice.h"
#include "visibility/visibility_engine.h"

namespace tucklet {
namespace {

// The attributes an element dump reads: those whose values are texts or numbers.
constexpr const char* dumpedAttributes[] = {"AXRole",        "AXSubrole",        "AXTitle",
                                            "AXDescription", "AXIdentifier",     "AXHelp",
                                            "AXValue",       "AXRoleDescription"};

std::string number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string axText(const platform::Accessibility& ax, const platform::AXElementRef& element,
                   const char* attribute) {
  platform::AXValue value;
  if (ax.copyAttributeValue(element, attribute, value) != platform::AXError::Success) return {};
  if (const auto* text = value.text()) return *text;
  return {};
}

nlohmann::json windowEntry(const platform::WindowInfo& window) {
  nlohmann::json entry = {
      {"kCGWindowNumber", window.number},
      {"kCGWindowOwnerPID", window.ownerPid},
      {"kCGWindowOwnerName", window.ownerName},
      {"kCGWindowName", window.name},
      {"kCGWindowLayer", window.layer},
      {"kCGWindowBounds",
       {{"X", window.bounds.x},
        {"Y", window.bounds.y},
        {"Width", window.bounds.width},
        {"Height", window.bounds.height}}},
  };
  if (window.alpha) entry["kCGWindowAlpha"] = *window.alpha;
  return entry;
}

nlohmann::json windowsOf(const std::vector<platform::WindowInfo>& windows, pid_t pid) {
  auto entries = nlohmann::json::array();
  for (const auto& window : windows)
    if (window.ownerPid == pid) entries.push_back(windowEntry(window));
  return entries;
}

}  // namespace

std::string rectText(const platform::Rect& rect) {
  return "{{" + number(rect.x) + ", " + number(rect.y) + "}, {" + number(rect.width) + ", " +
         number(rect.height) + "}}";
}

nlohmann::json frameFromTop(const std::optional<platform::Rect>& frame,
                            const std::vector<platform::Screen>& screens) {
  if (!frame || screens.empty()) return nlohmann::json::object();
  return {{"x", frame->minX()},
          {"y", screens.front().frame.maxY() - frame->maxY()},
          {"width", frame->width},
          {"height", frame->height}};
}

nlohmann::json barHitTests(const platform::Accessibility& ax,
                           const std::vector<platform::Screen>& screens) {
  const double width = screens.empty() ? 1512 : screens.front().frame.width;
  const auto systemWide = ax.systemWideElement();
  auto hits = nlohmann::json::array();
  std::optional<std::string> previous;
  for (double x = width / 2; x < width; x += 8) {
    platform::AXElementRef element;
    if (ax.elementAtPosition(systemWide, x, 15, element) != platform::AXError::Success || !element)
      continue;
    pid_t pid = 0;
    ax.pid(element, pid);
    const auto description = axText(ax, element, "AXDescription");
    const auto identifier = axText(ax, element, "AXIdentifier");
    const auto title = axText(ax, element, "AXTitle");
    const auto role = axText(ax, element, "AXRole");
    const auto signature =
        std::to_string(pid) + "|" + description + "|" + identifier + "|" + title + "|" + role;
    if (previous == signature) continue;
    previous = signature;
    hits.push_back({{"x", x},
                    {"pid", pid},
                    {"description", description},
                    {"identifier", identifier},
                    {"title", title},
                    {"role", role}});
  }
  return hits;
}

nlohmann::json elementDump(const platform::Accessibility& ax, const platform::AXElementRef& element,
                           bool withChildren) {
  auto dump = nlohmann::json::object();
  if (!element) return dump;
  for (const char* attribute : dumpedAttributes) {
    platform::AXValue value;
    if (ax.copyAttributeValue(element, attribute, value) != platform::AXError::Success) continue;
    if (const auto* text = value.text())
      dump[attribute] = *text;
    else if (const auto* n = value.number())
      dump[attribute] = *n;
  }
  if (const auto frame = readFrame(ax, element)) dump["frame"] = rectText(*frame);
  if (withChildren) {
    auto children = nlohmann::json::array();
    for (const auto& child : readChildren(ax, element))
      if (child) children.push_back(elementDump(ax, child, false));
    dump["children"] = std::move(children);
  }
  return dump;
}

bool activeMenuOpen(const DiagnoseSources& sources) {
  const auto& active = sources.opener.activeItem();
  return active && menuOpened(sources.platform.accessibility, *active);
}

bool activeUIVisible(const DiagnoseSources& sources) {
  const auto& active = sources.opener.activeItem();
  if (!active) return false;
  if (menuOpened(sources.platform.accessibility, *active)) return true;
  const auto& opened = sources.opener.activeWindowIDs();
  for (const auto& window : sources.platform.windowServer.onScreenWindows(true))
    if (opened.contains(window.number)) return true;
  return false;
}

bool layoutValid(const DiagnoseSources& sources) {
  const auto& boundary = sources.divider.item();
  const auto& toggle = sources.statusItem.item();
  if (!boundary || !boundary->hasButton() || !toggle) return false;
  const auto boundaryFrame = boundary->buttonScreenFrame();
  const auto toggleFrame = toggle->buttonScreenFrame();
  if (!boundaryFrame || !toggleFrame) return false;
  return boundaryFrame->maxX() <= toggleFrame->minX() + 2 &&
         std::abs(boundaryFrame->midY() - toggleFrame->midY()) < 12;
}

bool appRowsHaveSubmenus(const ItemsMenu& itemsMenu) {
  std::function<bool(const platform::MenuRows&)> search = [&](const platform::MenuRows& rows) {
    for (const auto& row : rows) {
      if (std::any_cast<BarItem>(&row.representedObject) && !row.submenu.empty()) return true;
      if (search(row.submenu)) return true;
    }
    return false;
  };
  return search(itemsMenu.pickerMenu().rows);
}

bool statusHighlighted(const DiagnoseSources& sources) {
  const auto& toggle = sources.statusItem.item();
  return toggle && toggle->hasButton() && toggle->isHighlighted();
}

std::optional<platform::WindowInfo> settingsWindowEntry(const DiagnoseSources& sources) {
  if (!sources.settingsWindow.windowCreated() || !sources.settingsWindow.windowVisible())
    return std::nullopt;
  const auto self = sources.platform.workspace.currentProcessId();
  for (const auto& window : sources.platform.windowServer.onScreenWindows(true))
    if (window.ownerPid == self && window.layer == 0) return window;
  return std::nullopt;
}

nlohmann::json diagnoseReport(const DiagnoseSources& sources, nlohmann::json tests) {
  auto& platform = sources.platform;
  const auto& ax = platform.accessibility;
  const auto& workspace = platform.workspace;
  const auto screens = platform.screens.screens();
  const auto windows = platform.windowServer.onScreenWindows(true);
  const auto& toggle = sources.statusItem.item();
  const auto toggleFrame = toggle ? toggle->buttonScreenFrame() : std::nullopt;
  const auto boundaryFrame =
      sources.divider.item() ? sources.divider.item()->buttonScreenFrame() : std::nullopt;
  const auto& opener = sources.opener;
  const auto& active = opener.activeItem();
  const auto& lastOpened = opener.lastOpenedItem();
  const auto* onboarding = sources.onboarding ? sources.onboarding() : nullptr;
  const auto listed = sources.itemsMenu.listedItems();

  nlohmann::json report;
  const auto os = workspace.operatingSystemVersion();
  report["os"] = "Version " + std::to_string(os.major) + "." + std::to_string(os.minor) + "." +
                 std::to_string(os.patch);
  report["accessibility"] = sources.engine.trusted();
  report["currentAccessibilityTrust"] = ax.isProcessTrusted();
  report["permissionHandoffActive"] = onboarding && onboarding->handingOff;
  report["tests"] = tests.is_array() ? std::move(tests) : nlohmann::json::array();
  report["layoutValid"] = layoutValid(sources);
  report["nativeVisibility"] = sources.nativeVisibility;
  report["bundleIdentifier"] = workspace.mainBundle().identifier.value_or("");
  const auto self = workspace.applicationForPid(workspace.currentProcessId());
  report["runningBundleIdentifier"] =
      self && self->bundleIdentifier ? *self->bundleIdentifier : std::string();
  report["statusItemVisible"] = toggle && toggle->isVisible();
  report["barHitTests"] = barHitTests(ax, screens);
  report["pid"] = workspace.currentProcessId();
  report["statusFrame"] = frameFromTop(toggleFrame, screens);
  report["collapsed"] = sources.engine.collapsed();
  report["message"] = sources.notice.message().value_or("");
  report["setupComplete"] = sources.preferences.setupComplete();
  report["popoverVisible"] = sources.itemsMenu.pickerIsShown();
  report["pickerVisible"] = sources.itemsMenu.pickerIsShown();
  report["pickerType"] = "NSMenu";
  report["activeItem"] = active ? active->name : std::string();
  report["activeMenuOpen"] = activeMenuOpen(sources);
  report["activeUIVisible"] = activeUIVisible(sources);
  report["latency"] = opener.latency();
  report["statusSelected"] = sources.statusItem.inExpandedSession();
  report["statusHighlighted"] = statusHighlighted(sources);
  report["appRowsHaveSubmenus"] = appRowsHaveSubmenus(sources.itemsMenu);
  report["lastOpenedItem"] = lastOpened ? displayName(*lastOpened, workspace) : std::string();
  report["lastOpenedBeforeWindows"] = opener.lastOpenedBeforeWindows();
  report["lastOpenedOwnerWindows"] =
      lastOpened ? windowsOf(windows, lastOpened->pid) : nlohmann::json::array();
  auto activeWindows = nlohmann::json::array();
  if (active) {
    if (const auto value = readAttribute(ax, ax.applicationElement(active->pid), "AXWindows")) {
      if (const auto* list = value->array()) {
        for (const auto& window : *list)
          if (const auto* element = window.element())
            activeWindows.push_back(elementDump(ax, *element));
      }
    }
  }
  report["activeWindows"] = std::move(activeWindows);
  report["activeWindowIDs"] = opener.activeWindowIDs();
  report["activeOwnerWindows"] = active ? windowsOf(windows, active->pid) : nlohmann::json::array();
  report["settingsTab"] = sources.settingsWindow.settingsTab();
  report["settingsVisible"] =
      sources.settingsWindow.windowCreated() && sources.settingsWindow.windowVisible();
  report["visibilityAssertionActive"] = sources.engine.holdsVisibilityToken();
  auto menuWindows = nlohmann::json::array();
  for (const auto& window : windows)
    if (window.layer > 23) menuWindows.push_back(windowEntry(window));
  report["menuWindows"] = std::move(menuWindows);
  report["toggleFrame"] = toggleFrame ? rectText(*toggleFrame) : "unavailable";
  report["boundaryFrame"] = boundaryFrame ? rectText(*boundaryFrame) : "unavailable";
  auto screenTexts = nlohmann::json::array();
  for (const auto& screen : screens)
    screenTexts.push_back(rectText(screen.frame));
  report["screens"] = std::move(screenTexts);
  auto quiverItems = nlohmann::json::array();
  for (const auto& item : listed)
    quiverItems.push_back(item.id);
  report["quiverItems"] = std::move(quiverItems);
  auto inventory = nlohmann::json::array();
  for (const auto& item : scanMenuBarItems(ax, workspace)) {
    inventory.push_back({{"id", item.id},
                         {"name", item.name},
                         {"app", item.appName},
                         {"pid", item.pid},
                         {"protected", systemControl(item, workspace).has_value()},
                         {"frame", rectText(item.frame)},
                         {"accessibility", elementDump(ax, item.element)}});
  }
  report["inventory"] = std::move(inventory);
  report["hiddenCount"] = sources.inventory.items().size();
  return report;
}

bool writeJsonReport(const std::string& path, const nlohmann::json& report) {
  std::string text;
  try {
    text = report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  } catch (const nlohmann::json::exception&) {
    return false;
  }
  std::string error;
  return platform::writeFileAtomically(path, text, error);
}

}  // namespace tucklet
