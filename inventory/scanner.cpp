#include "inventory/scanner.h"

#include <unordered_map>

#include "inventory/ax_reads.h"
#include "inventory/text.h"

namespace tucklet {

namespace {

bool hasAppExtension(const std::optional<std::string>& path) {
  if (!path) return false;
  std::string p = *path;
  while (p.size() > 1 && p.back() == '/')
    p.pop_back();
  const auto slash = p.find_last_of('/');
  const auto last = slash == std::string::npos ? p : p.substr(slash + 1);
  const auto dot = last.find_last_of('.');
  return dot != std::string::npos && dot > 0 && last.substr(dot + 1) == "app";
}

// The icons of the running applications by case-folded name (the first application of a name
// wins), made once per scan: folding every name again for every item would make a scan's cost
// grow with the square of the number of applications.
using IconsByName = std::unordered_map<std::string, platform::ImageRef>;

IconsByName iconsByName(const std::vector<platform::RunningApplication>& running) {
  IconsByName icons;
  for (const auto& app : running)
    if (app.localizedName) icons.emplace(caseFolded(*app.localizedName), app.icon);
  return icons;
}

platform::ImageRef iconForItem(const platform::RunningApplication& owner, const std::string& name,
                               const IconsByName& icons, const platform::Workspace& workspace) {
  if (owner.localizedName && *owner.localizedName == name) return owner.icon;
  // A name no longer in bytes has no more characters either, and needs no counting.
  if (name.find('/') == std::string::npos && (name.size() <= 79 || characterCount(name) <= 79)) {
    if (auto it = icons.find(caseFolded(name)); it != icons.end()) return it->second;
    for (const char* folder : {"/Applications/", "/System/Applications/"}) {
      const auto path = folder + name + ".app";
      if (workspace.fileExists(path)) return workspace.iconForFile(path);
    }
  }
  return owner.icon;
}

void scanApplication(const platform::Accessibility& ax, const platform::Workspace& workspace,
                     const platform::RunningApplication& app, const IconsByName& icons,
                     std::vector<BarItem>& out) {
  const auto appElement = ax.applicationElement(app.pid);
  if (!appElement) return;
  ax.setMessagingTimeout(appElement, scanMessagingTimeout);
  const auto bar = readAttribute(ax, appElement, "AXExtrasMenuBar");
  if (!bar || !bar->element() || !*bar->element()) return;

  const auto children = readChildren(ax, *bar->element());
  for (std::size_t i = 0; i < children.size(); ++i) {
    const auto& child = children[i];
    const auto element = itemElement(ax, child);
    auto frame = readFrame(ax, element);
    if (!frame && element != child) frame = readFrame(ax, child);
    if (!frame || !(frame->width > 0) || !(frame->height > 0)) continue;

    BarItem item;
    item.identifier = readText(ax, element, "AXIdentifier");
    for (const char* attribute : {"AXTitle", "AXDescription", "AXHelp"}) {
      item.name = readText(ax, element, attribute);
      if (!item.name.empty()) break;
    }
    if (item.name.empty()) {
      if (auto known = menuExtraName(item.identifier))
        item.name = std::string(*known);
      else if (app.bundleIdentifier && *app.bundleIdentifier == textInputMenuAgentBundle)
        item.name = "Input Menu";
      else if (app.localizedName)
        item.name = *app.localizedName;
      else
        item.name = "Menu bar item";
    }
    item.id = baseItemID(app.bundleIdentifier, app.pid, item.identifier, i);
    item.appName = app.localizedName.value_or("Application");
    item.icon = iconForItem(app, item.name, icons, workspace);
    item.element = element;
    item.frame = *frame;
    item.pid = app.pid;
    out.push_back(std::move(item));
  }
}

}  // namespace

std::vector<BarItem> scanMenuBarItems(const platform::Accessibility& accessibility,
                                      const platform::Workspace& workspace) {
  std::vector<BarItem> items;
  if (!accessibility.isProcessTrusted()) return items;
  const auto running = workspace.runningApplications();
  const auto icons = iconsByName(running);
  const auto self = workspace.currentProcessId();
  for (const auto& app : running) {
    if (app.pid == self || !hasAppExtension(app.bundlePath)) continue;
    scanApplication(accessibility, workspace, app, icons, items);
  }
  makeIdentitiesUnique(items);
  sortLeftToRight(items);
  return items;
}

platform::ImageRef iconForItem(const platform::RunningApplication& owner, const std::string& name,
                               const std::vector<platform::RunningApplication>& running,
                               const platform::Workspace& workspace) {
  return iconForItem(owner, name, iconsByName(running), workspace);
}

}  // namespace tucklet
