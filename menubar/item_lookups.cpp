#include "menubar/item_lookups.h"

#include <charconv>
#include <string_view>

#include "inventory/ax_reads.h"

namespace tucklet {

namespace {

using platform::AXElementRef;
using platform::AXError;

constexpr std::string_view positionPrefix = "index-";
constexpr const char* menuBarAgentBundle = "com.apple.MenuBarAgent";
constexpr double menuLayerAbove = 99;
constexpr double menuTopAtMost = 96;
constexpr double minimumMenuAlpha = 0.05;

// The part of an id after its owner: the identifier, or "index-" and a position.
std::string_view itemPart(std::string_view id) {
  const auto colon = id.find(':');
  return colon == std::string_view::npos ? std::string_view{} : id.substr(colon + 1);
}

std::optional<std::size_t> positionOf(std::string_view part) {
  if (!part.starts_with(positionPrefix)) return std::nullopt;
  part.remove_prefix(positionPrefix.size());
  std::size_t position = 0;
  const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), position);
  if (error != std::errc() || end == part.data()) return std::nullopt;
  return position;
}

bool readsTrue(const platform::Accessibility& ax, const AXElementRef& element,
               const char* attribute) {
  const auto value = readAttribute(ax, element, attribute);
  return value && value->boolean() && *value->boolean();
}

std::set<pid_t> ownerProcesses(const platform::Workspace& workspace, const BarItem& item) {
  std::set<pid_t> pids{item.pid};
  if (isSystemOwnerBundle(ownerBundle(item, workspace))) {
    for (const auto& app : workspace.runningApplications())
      if (app.bundleIdentifier == menuBarAgentBundle) pids.insert(app.pid);
  }
  return pids;
}

std::vector<platform::WindowInfo> ownerWindows(const platform::WindowServer& windowServer,
                                               const platform::Workspace& workspace,
                                               const BarItem& item) {
  const auto pids = ownerProcesses(workspace, item);
  std::vector<platform::WindowInfo> windows;
  for (auto& window : windowServer.onScreenWindows(true))
    if (pids.contains(window.ownerPid)) windows.push_back(std::move(window));
  return windows;
}

}  // namespace

std::optional<BarItem> refindItem(const platform::Accessibility& ax, const BarItem& item) {
  const auto application = ax.applicationElement(item.pid);
  if (!application) return std::nullopt;
  ax.setMessagingTimeout(application, refindMessagingTimeout);
  const auto bar = readAttribute(ax, application, "AXExtrasMenuBar");
  if (!bar || !bar->element() || !*bar->element()) return std::nullopt;
  const auto children = readChildren(ax, *bar->element());

  AXElementRef chosen;
  if (const auto position = positionOf(itemPart(item.id))) {
    if (*position < children.size()) chosen = itemElement(ax, children[*position]);
  } else {
    for (const auto& child : children) {
      const auto element = itemElement(ax, child);
      if (readText(ax, element, "AXIdentifier") == item.identifier) {
        chosen = element;
        break;
      }
    }
  }
  if (!chosen) return std::nullopt;
  const auto frame = readFrame(ax, chosen);
  if (!frame || !(frame->width > 0) || !(frame->height > 0)) return std::nullopt;
  BarItem found = item;
  found.element = chosen;
  found.frame = *frame;
  return found;
}

bool itemIsReady(const platform::Accessibility& ax, const BarItem& item) {
  AXElementRef element;
  if (ax.elementAtPosition(ax.systemWideElement(), item.frame.midX(), item.frame.midY(), element) !=
          AXError::Success ||
      !element)
    return false;
  pid_t pid = 0;
  if (ax.pid(element, pid) != AXError::Success || pid != item.pid) return false;
  if (!item.identifier.empty()) return readText(ax, element, "AXIdentifier") == item.identifier;
  return readText(ax, element, "AXRole") == "AXMenuBarItem";
}

WindowNumbers ownerWindowNumbers(const platform::WindowServer& windowServer,
                                 const platform::Workspace& workspace, const BarItem& item) {
  WindowNumbers numbers;
  for (const auto& window : ownerWindows(windowServer, workspace, item))
    numbers.insert(window.number);
  return numbers;
}

WindowNumbers menuWindowNumbers(const platform::WindowServer& windowServer,
                                const platform::Workspace& workspace, const BarItem& item) {
  WindowNumbers numbers;
  for (const auto& window : ownerWindows(windowServer, workspace, item)) {
    const auto& bounds = window.bounds;
    if (!(bounds.width > 1) || !(bounds.height > 1)) continue;
    if (window.alpha && !(*window.alpha > minimumMenuAlpha)) continue;
    if (window.layer > menuLayerAbove || bounds.minY() <= menuTopAtMost)
      numbers.insert(window.number);
  }
  return numbers;
}

std::vector<AXElementRef> itemMenus(const platform::Accessibility& ax, const BarItem& item) {
  std::vector<AXElementRef> menus;
  if (!item.element) return menus;
  for (const auto& child : readChildren(ax, item.element))
    if (readText(ax, child, "AXRole") == "AXMenu") menus.push_back(child);
  return menus;
}

bool menuOpened(const platform::Accessibility& ax, const BarItem& item) {
  const auto menus = itemMenus(ax, item);
  if (menus.empty()) return false;
  if (readsTrue(ax, item.element, "AXSelected")) return true;
  for (const auto& menu : menus) {
    const auto frame = readFrame(ax, menu);
    if (frame && frame->width > 0 && frame->height > 0) return true;
  }
  return false;
}

bool pressItem(const platform::Accessibility& ax, const BarItem& item) {
  if (!item.element) return false;
  ax.setMessagingTimeout(item.element, pressMessagingTimeout);
  const auto error = ax.performAction(item.element, "AXPress");
  if (error == AXError::Success) return true;
  // Some applications open their menu but report a failure, or open it on mouse down already.
  if (readsTrue(ax, item.element, "AXSelected") || menuOpened(ax, item)) return true;
  if (error == AXError::ActionUnsupported || error == AXError::NotImplemented) {
    if (ax.performAction(item.element, "AXShowMenu") == AXError::Success) return true;
    return menuOpened(ax, item);
  }
  return false;
}

}  // namespace tucklet
