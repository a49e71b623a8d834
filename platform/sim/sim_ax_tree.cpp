#include "platform/sim/sim_ax_tree.h"

#include <algorithm>
#include <optional>

#include "platform/sim/sim_element.h"
#include "platform/sim/sim_layout.h"
#include "platform/sim/sim_menus.h"

namespace tucklet::sim {
namespace {

using platform::AXError;
using platform::AXValue;
using Kind = ElementPath::Kind;

std::uint64_t incarnationOf(const SimState& state, pid_t pid) {
  const auto* app = state.findApp(pid);
  return app ? app->incarnation : 0;
}

ElementPath pathOf(const SimState& state, Kind kind, pid_t pid, std::uint64_t object = 0,
                   std::uint64_t index = 0) {
  return {kind, pid, incarnationOf(state, pid), object, index};
}

AXError setText(const std::string& text, AXValue& value) {
  value.value = text;
  return AXError::Success;
}

AXError setOptionalText(const std::optional<std::string>& text, AXValue& value) {
  if (!text) return AXError::NoValue;
  return setText(*text, value);
}

AXError setNonEmptyText(const std::string& text, AXValue& value) {
  if (text.empty()) return AXError::NoValue;
  return setText(text, value);
}

AXError setElement(const ElementPath& path, AXValue& value) {
  value.value = makeElement(path);
  return AXError::Success;
}

AXError setElements(const std::vector<ElementPath>& paths, AXValue& value) {
  // Built in place: GCC 12 misreads a temporary element value as uninitialised.
  auto& array = value.value.emplace<platform::AXArray>();
  array.reserve(paths.size());
  for (const auto& path : paths)
    array.emplace_back().value = makeElement(path);
  return AXError::Success;
}

AXError setBool(bool flag, AXValue& value) {
  value.value = flag;
  return AXError::Success;
}

// What every menu bar item answers about its menu: selected while it is open, and the open menu
// as its only child. Nothing for any other attribute.
std::optional<AXError> readMenuState(const SimState& state, bool menuOpen,
                                     const std::string& attribute, AXValue& value) {
  if (attribute == "AXSelected") return setBool(menuOpen, value);
  if (attribute == "AXEnabled") return setBool(true, value);
  if (attribute != "AXChildren") return std::nullopt;
  std::vector<ElementPath> children;
  if (menuOpen) children.push_back(menuPath(state, *state.menu));
  return setElements(children, value);
}

// AXPosition, AXSize and AXFrame of a window-list rectangle, each when readable.
AXError readFrame(const std::string& attribute, const std::optional<Rect>& frame,
                  bool positionReadable, bool sizeReadable, AXValue& value, bool& handled) {
  handled = true;
  if (attribute == "AXPosition") {
    if (!frame || !positionReadable) return AXError::NoValue;
    value.value = frame->origin();
    return AXError::Success;
  }
  if (attribute == "AXSize") {
    if (!frame || !sizeReadable) return AXError::NoValue;
    value.value = frame->size();
    return AXError::Success;
  }
  if (attribute == "AXFrame") {
    if (!frame || !positionReadable || !sizeReadable) return AXError::NoValue;
    value.value = *frame;
    return AXError::Success;
  }
  handled = false;
  return AXError::AttributeUnsupported;
}

bool appRunning(const SimState& state, const ElementPath& path) {
  const auto* app = state.findApp(path.pid);
  return app && app->incarnation == path.incarnation;
}

bool hasExtrasBar(const SimState& state, const AppEntry& app) {
  return app.isSelf ? !state.ownItems.empty() : !app.extraIds.empty();
}

const ExtraEntry* liveExtra(const SimState& state, const ElementPath& path) {
  if (!appRunning(state, path)) return nullptr;
  auto it = state.extras.find(path.object);
  if (it == state.extras.end() || it->second.pid != path.pid) return nullptr;
  if (extraHidden(state, it->second)) return nullptr;
  return &it->second;
}

const OwnItemEntry* liveOwnItem(const SimState& state, const ElementPath& path) {
  if (!appRunning(state, path) || path.pid != state.selfPid()) return nullptr;
  auto it = state.ownItems.find(path.object);
  if (it == state.ownItems.end() || !it->second.visible) return nullptr;
  if (ownItemHidden(state, it->second)) return nullptr;
  return &it->second;
}

const ActiveMenu* liveMenu(const SimState& state, const ElementPath& path) {
  if (!appRunning(state, path) || !state.menu) return nullptr;
  if (state.menu->serial != path.object || state.menu->pid != path.pid) return nullptr;
  return &*state.menu;
}

const WindowEntry* liveWindow(const SimState& state, const ElementPath& path) {
  if (!appRunning(state, path)) return nullptr;
  for (const auto& window : state.windows)
    if (window.number == path.object && window.pid == path.pid) return &window;
  return nullptr;
}

std::vector<ElementPath> extrasBarChildren(const SimState& state, const AppEntry& app) {
  std::vector<ElementPath> children;
  if (app.isSelf) {
    for (const auto& [id, item] : state.ownItems)
      if (item.visible && !ownItemHidden(state, item)) children.push_back(ownItemPath(state, id));
    return children;
  }
  for (const auto id : app.extraIds) {
    auto it = state.extras.find(id);
    if (it != state.extras.end() && !extraHidden(state, it->second))
      children.push_back(extraChildPath(state, id));
  }
  return children;
}

std::vector<ElementPath> windowsOf(const SimState& state, pid_t pid) {
  std::vector<ElementPath> result;
  for (const auto& window : state.windows)
    if (window.pid == pid) result.push_back(windowPath(state, window));
  return result;
}

std::optional<Rect> slotFrame(const SimState& state, const BarSlot* slot) {
  if (!slot || slot->hiddenByAssertion || state.world.screens.empty()) return std::nullopt;
  return toWindowList(state, slot->frame);
}

bool isFrameAttribute(const std::string& attribute) {
  return attribute == "AXPosition" || attribute == "AXSize" || attribute == "AXFrame";
}

// The frame of a status item, laid out only when a frame attribute is read.
std::optional<Rect> itemFrame(const SimState& state, const std::string& attribute, ExtraId extra,
                              std::uint64_t ownItem) {
  if (!isFrameAttribute(attribute)) return std::nullopt;
  const auto layout = barLayout(state);
  return slotFrame(state, extra ? layout->extraSlot(extra) : layout->ownSlot(ownItem));
}

AXError readApplication(const SimState& state, const ElementPath& path, const AppEntry& app,
                        const std::string& attribute, AXValue& value) {
  if (attribute == "AXRole") return setText("AXApplication", value);
  if (attribute == "AXTitle") return setOptionalText(app.app.localizedName, value);
  if (attribute == "AXFrontmost") return setBool(state.frontmost == path.pid, value);
  if (attribute == "AXExtrasMenuBar") {
    if (!hasExtrasBar(state, app)) return AXError::NoValue;
    return setElement(extrasBarPath(state, path.pid), value);
  }
  if (attribute == "AXWindows") return setElements(windowsOf(state, path.pid), value);
  if (attribute == "AXChildren") {
    auto children = windowsOf(state, path.pid);
    if (hasExtrasBar(state, app)) children.push_back(extrasBarPath(state, path.pid));
    return setElements(children, value);
  }
  return AXError::AttributeUnsupported;
}

AXError readExtraChild(const SimState& state, const ExtraEntry& entry, bool container,
                       const std::string& attribute, AXValue& value) {
  const auto& extra = entry.extra;
  const bool grandchild = extra.structure == WorldExtra::Structure::Grandchild;
  const auto frame = itemFrame(state, attribute, entry.id, 0);
  bool handled = false;

  if (container) {
    const auto result = readFrame(attribute, frame, extra.childFrameReadable,
                                  extra.childFrameReadable, value, handled);
    if (handled) return result;
    if (attribute == "AXRole") return setText(extra.childRole, value);
    if (attribute == "AXSubrole" || attribute == "AXIdentifier" || attribute == "AXTitle" ||
        attribute == "AXDescription" || attribute == "AXHelp")
      return AXError::NoValue;
    if (attribute == "AXEnabled") return setBool(true, value);
    if (attribute == "AXChildren") return setElements({extraItemPath(state, entry.id)}, value);
    if (attribute == "AXParent") return setElement(extrasBarPath(state, entry.pid), value);
    return AXError::AttributeUnsupported;
  }

  const auto result =
      readFrame(attribute, frame, extra.positionReadable, extra.sizeReadable, value, handled);
  if (handled) return result;
  const bool menuOpen = state.menu && state.menu->extra == entry.id;
  if (attribute == "AXRole") return setText(grandchild ? extra.itemRole : extra.childRole, value);
  if (attribute == "AXSubrole") return setText("AXMenuExtra", value);
  if (attribute == "AXIdentifier") return setOptionalText(extra.identifier, value);
  if (attribute == "AXTitle") return setOptionalText(extra.title, value);
  if (attribute == "AXDescription") return setOptionalText(extra.description, value);
  if (attribute == "AXHelp") return setOptionalText(extra.help, value);
  if (auto answer = readMenuState(state, menuOpen, attribute, value)) return *answer;
  if (attribute == "AXParent")
    return setElement(
        grandchild ? extraChildPath(state, entry.id) : extrasBarPath(state, entry.pid), value);
  return AXError::AttributeUnsupported;
}

AXError readOwnItem(const SimState& state, const OwnItemEntry& item, const std::string& attribute,
                    AXValue& value) {
  const auto frame = itemFrame(state, attribute, 0, item.id);
  bool handled = false;
  const auto result = readFrame(attribute, frame, true, true, value, handled);
  if (handled) return result;
  const bool menuOpen = state.menu && state.menu->extra == 0 && state.menu->ownItem == item.id;
  if (attribute == "AXRole") return setText("AXMenuBarItem", value);
  if (attribute == "AXSubrole") return setText("AXMenuExtra", value);
  if (attribute == "AXIdentifier") return AXError::NoValue;
  if (attribute == "AXTitle") return setNonEmptyText(item.title, value);
  if (attribute == "AXDescription") return setNonEmptyText(item.accessibilityLabel, value);
  if (attribute == "AXHelp") return setNonEmptyText(item.toolTip, value);
  if (auto answer = readMenuState(state, menuOpen, attribute, value)) return *answer;
  if (attribute == "AXParent") return setElement(extrasBarPath(state, state.selfPid()), value);
  return AXError::AttributeUnsupported;
}

AXError readMenu(const SimState& state, const ActiveMenu& menu, const std::string& attribute,
                 AXValue& value) {
  bool handled = false;
  const auto result = readFrame(attribute, menu.frame, true, true, value, handled);
  if (handled) return result;
  if (attribute == "AXRole") return setText("AXMenu", value);
  if (attribute == "AXEnabled") return setBool(true, value);
  if (attribute == "AXChildren") {
    std::vector<ElementPath> rows;
    for (std::size_t i = 0; i < menu.rows.size(); ++i)
      rows.push_back(menuRowPath(state, menu, i));
    return setElements(rows, value);
  }
  if (attribute == "AXParent") {
    if (menu.extra != 0) return setElement(extraItemPath(state, menu.extra), value);
    if (menu.ownItem != 0) return setElement(ownItemPath(state, menu.ownItem), value);
    return setElement(applicationPath(state, menu.pid), value);
  }
  return AXError::AttributeUnsupported;
}

AXError readMenuRow(const SimState& state, const ActiveMenu& menu, std::size_t index,
                    const std::string& attribute, AXValue& value) {
  const auto& row = menu.rows[index];
  bool handled = false;
  const auto result = readFrame(attribute, menuRowFrames(menu)[index], true, true, value, handled);
  if (handled) return result;
  if (attribute == "AXRole") return setText("AXMenuItem", value);
  if (attribute == "AXTitle") return setText(row.title, value);
  if (attribute == "AXEnabled") return setBool(row.enabled && !row.separator, value);
  if (attribute == "AXParent") return setElement(menuPath(state, menu), value);
  if (attribute == "AXChildren") return setElements({}, value);
  return AXError::AttributeUnsupported;
}

AXError readWindow(const SimState& state, const WindowEntry& window, const std::string& attribute,
                   AXValue& value) {
  bool handled = false;
  const auto result = readFrame(attribute, window.window.bounds, true, true, value, handled);
  if (handled) return result;
  if (attribute == "AXRole") return setText("AXWindow", value);
  if (attribute == "AXSubrole") return setText("AXStandardWindow", value);
  if (attribute == "AXTitle") return setText(window.window.name, value);
  if (attribute == "AXParent") return setElement(applicationPath(state, window.pid), value);
  if (attribute == "AXChildren") return setElements({}, value);
  return AXError::AttributeUnsupported;
}

AXError readAppMenuTitle(const SimState& state, const ElementPath& path,
                         const std::string& attribute, AXValue& value) {
  const auto titles = applicationMenuTitles(state);
  const auto& title = titles[path.object];
  bool handled = false;
  const auto result =
      readFrame(attribute, toWindowList(state, title.frame), true, true, value, handled);
  if (handled) return result;
  if (attribute == "AXRole") return setText("AXMenuBarItem", value);
  if (attribute == "AXTitle") return setText(title.title, value);
  if (attribute == "AXEnabled") return setBool(true, value);
  if (attribute == "AXSelected") return setBool(false, value);
  if (attribute == "AXChildren") return setElements({}, value);
  if (attribute == "AXParent") return setElement(applicationPath(state, path.pid), value);
  return AXError::AttributeUnsupported;
}

}  // namespace

ElementPath systemWidePath() {
  return {};
}

ElementPath applicationPath(const SimState& state, pid_t pid) {
  return pathOf(state, Kind::Application, pid);
}

ElementPath extrasBarPath(const SimState& state, pid_t pid) {
  return pathOf(state, Kind::ExtrasBar, pid);
}

ElementPath extraItemPath(const SimState& state, ExtraId extra) {
  auto it = state.extras.find(extra);
  const pid_t pid = it == state.extras.end() ? 0 : it->second.pid;
  return pathOf(state, Kind::ExtraItem, pid, extra);
}

ElementPath extraChildPath(const SimState& state, ExtraId extra) {
  auto it = state.extras.find(extra);
  if (it == state.extras.end()) return extraItemPath(state, extra);
  if (it->second.extra.structure == WorldExtra::Structure::Grandchild)
    return pathOf(state, Kind::ExtraContainer, it->second.pid, extra);
  return extraItemPath(state, extra);
}

ElementPath ownItemPath(const SimState& state, std::uint64_t ownItem) {
  return pathOf(state, Kind::OwnItem, state.selfPid(), ownItem);
}

ElementPath menuPath(const SimState& state, const ActiveMenu& menu) {
  return pathOf(state, Kind::Menu, menu.pid, menu.serial);
}

ElementPath menuRowPath(const SimState& state, const ActiveMenu& menu, std::size_t row) {
  return pathOf(state, Kind::MenuRow, menu.pid, menu.serial, row);
}

ElementPath windowPath(const SimState& state, const WindowEntry& window) {
  return pathOf(state, Kind::Window, window.pid, window.number);
}

ElementPath appMenuTitlePath(const SimState& state, pid_t pid, std::size_t index) {
  return pathOf(state, Kind::AppMenuBarItem, pid, index);
}

bool elementExists(const SimState& state, const ElementPath& path) {
  switch (path.kind) {
    case Kind::SystemWide:
      return true;
    case Kind::Application:
      return appRunning(state, path);
    case Kind::ExtrasBar: {
      const auto* app = state.findApp(path.pid);
      return appRunning(state, path) && hasExtrasBar(state, *app);
    }
    case Kind::ExtraContainer: {
      const auto* entry = liveExtra(state, path);
      return entry && entry->extra.structure == WorldExtra::Structure::Grandchild;
    }
    case Kind::ExtraItem:
      return liveExtra(state, path) != nullptr;
    case Kind::OwnItem:
      return liveOwnItem(state, path) != nullptr;
    case Kind::Menu:
      return liveMenu(state, path) != nullptr;
    case Kind::MenuRow: {
      const auto* menu = liveMenu(state, path);
      return menu && path.index < menu->rows.size();
    }
    case Kind::Window:
      return liveWindow(state, path) != nullptr;
    case Kind::AppMenuBarItem:
      return appRunning(state, path) && state.frontmost == path.pid &&
             path.object < applicationMenuTitles(state).size();
  }
  return false;
}

AXError readAttribute(const SimState& state, const ElementPath& path, const std::string& attribute,
                      AXValue& value) {
  if (!elementExists(state, path)) return AXError::InvalidUIElement;
  switch (path.kind) {
    case Kind::SystemWide:
      if (attribute == "AXRole") return setText("AXSystemWide", value);
      if (attribute == "AXFocusedApplication") {
        if (!state.findApp(state.frontmost)) return AXError::NoValue;
        return setElement(applicationPath(state, state.frontmost), value);
      }
      return AXError::AttributeUnsupported;
    case Kind::Application:
      return readApplication(state, path, *state.findApp(path.pid), attribute, value);
    case Kind::ExtrasBar:
      if (attribute == "AXRole") return setText("AXMenuBar", value);
      if (attribute == "AXChildren")
        return setElements(extrasBarChildren(state, *state.findApp(path.pid)), value);
      if (attribute == "AXParent") return setElement(applicationPath(state, path.pid), value);
      return AXError::AttributeUnsupported;
    case Kind::ExtraContainer:
      return readExtraChild(state, *liveExtra(state, path), true, attribute, value);
    case Kind::ExtraItem:
      return readExtraChild(state, *liveExtra(state, path), false, attribute, value);
    case Kind::OwnItem:
      return readOwnItem(state, *liveOwnItem(state, path), attribute, value);
    case Kind::Menu:
      return readMenu(state, *liveMenu(state, path), attribute, value);
    case Kind::MenuRow:
      return readMenuRow(state, *liveMenu(state, path), path.index, attribute, value);
    case Kind::Window:
      return readWindow(state, *liveWindow(state, path), attribute, value);
    case Kind::AppMenuBarItem:
      return readAppMenuTitle(state, path, attribute, value);
  }
  return AXError::AttributeUnsupported;
}

}  // namespace tucklet::sim
