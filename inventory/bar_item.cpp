#include "inventory/bar_item.h"

#include <algorithm>
#include <map>
#include <set>

#include "inventory/text.h"

namespace tucklet {

namespace {

bool contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

constexpr std::array<std::string_view, 3> clockNames = {"clock", "date & time", "date and time"};

}  // namespace

bool isSystemOwnerBundle(std::string_view bundleIdentifier) {
  return std::find(systemOwnerBundles.begin(), systemOwnerBundles.end(), bundleIdentifier) !=
         systemOwnerBundles.end();
}

std::optional<std::string_view> menuExtraName(std::string_view identifier) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 7> names = {{
      {"com.apple.menuextra.wifi", "Wi-Fi"},
      {"com.apple.menuextra.battery", "Battery"},
      {"com.apple.menuextra.clock", "Date & Time"},
      {"com.apple.menuextra.controlcenter", "Control Center"},
      {"com.apple.menuextra.now-playing", "Now Playing"},
      {"com.apple.menuextra.bluetooth", "Bluetooth"},
      {"com.apple.menuextra.volume", "Sound"},
  }};
  for (const auto& [key, name] : names)
    if (key == identifier) return name;
  return std::nullopt;
}

std::string ownerBundle(const BarItem& item, const platform::Workspace& workspace) {
  const auto app = workspace.applicationForPid(item.pid);
  if (!app || !app->bundleIdentifier) return {};
  return *app->bundleIdentifier;
}

std::optional<SystemControl> protectedControl(std::string_view identifier, std::string_view name) {
  // Case folded once: the texts compared against are folded already.
  const auto id = caseFolded(identifier);
  const auto foldedName = caseFolded(name);
  if (contains(id, "apple.menuextra.battery") || contains(id, "controlcenter.battery"))
    return SystemControl::battery;
  if (foldedName == "battery") return SystemControl::battery;
  if (contains(id, "apple.menuextra.clock") || contains(id, "controlcenter.clock"))
    return SystemControl::clock;
  if (std::find(clockNames.begin(), clockNames.end(), foldedName) != clockNames.end())
    return SystemControl::clock;
  return std::nullopt;
}

std::optional<SystemControl> systemControl(const BarItem& item,
                                           const platform::Workspace& workspace) {
  if (auto control = protectedControl(item.identifier, item.name)) return control;
  // Case-sensitive on purpose: the system spells its identifiers in lower case.
  const std::string_view id = item.identifier;
  if (contains(id, "wifi")) return SystemControl::wifi;
  if (contains(id, "bluetooth")) return SystemControl::bluetooth;
  if (contains(id, "controlcenter")) return SystemControl::controlCenter;
  if (contains(id, "display")) return SystemControl::displays;
  if (contains(id, "volume")) return SystemControl::volume;
  if (ownerBundle(item, workspace) == textInputMenuAgentBundle) return SystemControl::keyboard;
  return std::nullopt;
}

std::string displayName(const BarItem& item, const platform::Workspace& workspace) {
  if (auto control = systemControl(item, workspace)) return std::string(itemDisplayName(*control));
  if (contains(item.identifier, "now-playing")) return "Now Playing";
  if (endsWith(item.name, "Icon") || localizedCaseInsensitiveContains(item.name, "server running"))
    return item.appName;
  return item.name;
}

std::optional<std::string> symbolName(const BarItem& item, const platform::Workspace& workspace) {
  if (auto control = systemControl(item, workspace)) return std::string(symbolName(*control));
  if (contains(item.identifier, "now-playing")) return "play.rectangle";
  return std::nullopt;
}

std::optional<std::string> detailName(const BarItem& item, const platform::Workspace& workspace) {
  if (isSystemOwnerBundle(ownerBundle(item, workspace)) || systemControl(item, workspace))
    return std::nullopt;
  if (endsWith(item.name, "Icon")) return std::nullopt;
  if (displayName(item, workspace) == item.name) return std::nullopt;
  return item.name;
}

std::optional<std::string> helpText(const BarItem& item, const platform::Workspace& workspace) {
  if (isSystemOwnerBundle(ownerBundle(item, workspace)) || systemControl(item, workspace))
    return std::nullopt;
  const auto shown = displayName(item, workspace);
  if (shown != item.appName) return shown + " menu bar control provided by " + item.appName;
  return detailName(item, workspace);
}

void sortLeftToRight(std::vector<BarItem>& items) {
  std::stable_sort(items.begin(), items.end(), [](const BarItem& a, const BarItem& b) {
    return a.frame.minX() < b.frame.minX();
  });
}

void sortAlphabetically(std::vector<BarItem>& items, const platform::Workspace& workspace,
                        const Collation& collation) {
  std::vector<std::pair<std::string, BarItem>> keyed;
  keyed.reserve(items.size());
  for (auto& item : items) keyed.emplace_back(displayName(item, workspace), std::move(item));
  std::stable_sort(keyed.begin(), keyed.end(), [&collation](const auto& a, const auto& b) {
    return collation.compare(a.first, b.first) < 0;
  });
  items.clear();
  for (auto& [key, item] : keyed)
    items.push_back(std::move(item));
}

std::string baseItemID(const std::optional<std::string>& ownerBundleIdentifier, pid_t pid,
                       std::string_view trimmedIdentifier, std::size_t position) {
  std::string id = ownerBundleIdentifier ? *ownerBundleIdentifier : std::to_string(pid);
  id += ':';
  if (!trimmedIdentifier.empty())
    id += trimmedIdentifier;
  else
    id += "index-" + std::to_string(position);
  return id;
}

void makeIdentitiesUnique(std::vector<BarItem>& items) {
  // Every identity an item reports itself is taken first, so that an item whose identifier
  // already ends in ":1" keeps it, and a repeat counts on past it.
  std::set<std::string> taken;
  for (const auto& item : items)
    taken.insert(item.id);
  std::map<std::string, int> seen;
  std::map<std::string, int> nextCount;
  for (auto& item : items) {
    if (seen[item.id]++ == 0) continue;
    int& count = nextCount.try_emplace(item.id, 1).first->second;
    std::string unique;
    do {
      unique = item.id + ":" + std::to_string(count++);
    } while (taken.contains(unique));
    taken.insert(unique);
    item.id = std::move(unique);
  }
}

}  // namespace tucklet
