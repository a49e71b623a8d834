#include "menubar/items_menu.h"

#include <algorithm>
#include <set>

#include "features/item_order.h"
#include "menubar/status_item.h"
#include "visibility/divider.h"

namespace tucklet {

namespace {

using platform::MenuRow;

constexpr double menuInset = 4;  // kept between the menu and the screen's visible edges
constexpr double menuDrop = 2;   // between the icon's bottom and the menu's top
constexpr double rowImageSide = 18;

MenuRow sectionHeader(std::string title) {
  MenuRow row;
  row.kind = MenuRow::Kind::SectionHeader;
  row.title = std::move(title);
  row.enabled = false;
  return row;
}

platform::ImageRef rowImage(const platform::Image& image) {
  auto copy = std::make_shared<platform::Image>(image);
  copy->size = {rowImageSide, rowImageSide};
  return copy;
}

template <typename Record>
const Record* findById(const std::vector<Record>& records, const std::any& representedObject) {
  const auto* text = std::any_cast<std::string>(&representedObject);
  if (!text) return nullptr;
  for (const auto& record : records)
    if (record.id.text() == *text) return &record;
  return nullptr;
}

}  // namespace

std::optional<platform::Point> itemsMenuTopLeft(const std::optional<platform::Rect>& iconFrame,
                                                const std::vector<platform::Screen>& screens,
                                                double menuWidth) {
  if (!iconFrame) return std::nullopt;
  const platform::Point centre{iconFrame->midX(), iconFrame->midY()};
  for (const auto& screen : screens) {
    const auto& f = screen.frame;
    // Closed on the top edge: the icon's centre lies in the menu bar at the top of its screen.
    if (centre.x < f.minX() || centre.x >= f.maxX() || centre.y < f.minY() || centre.y > f.maxY())
      continue;
    const auto& visible = screen.visibleFrame;
    const double leftmost = visible.minX() + menuInset;
    const double rightmost = std::max(leftmost, visible.maxX() - menuInset - menuWidth);
    const double x = std::min(rightmost, std::max(leftmost, iconFrame->maxX() - menuWidth));
    return platform::Point{x, iconFrame->minY() - menuDrop};
  }
  return std::nullopt;
}

ItemsMenu::ItemsMenu(platform::Platform& platform, const Preferences& preferences,
                     const Notice& notice, const platform::Lifetime& lifetime,
                     bool nativeVisibility, StatusItem& statusItem, Links links)
    : platform_(platform),
      preferences_(preferences),
      notice_(notice),
      lifetime_(lifetime),
      nativeVisibility_(nativeVisibility),
      statusItem_(statusItem),
      links_(std::move(links)) {
  pickerMenu_.title = "tucklet";
  pickerMenu_.autoenablesItems = false;
  pickerMenu_.minimumWidth = 270;
}

bool ItemsMenu::isListed(const BarItem& item) const {
  const auto& excluded = preferences_.excludedIDs();
  if (std::find(excluded.begin(), excluded.end(), item.id) != excluded.end()) return false;
  const auto& alwaysHidden = preferences_.features().alwaysHiddenIDs;
  if (std::find(alwaysHidden.begin(), alwaysHidden.end(), item.id) != alwaysHidden.end())
    return false;
  if (!nativeVisibility_) return !protectedControl(item.identifier, item.name);
  if (auto control = systemControl(item, platform_.workspace))
    return !preferences_.allowedSystemControls().contains(*control);
  if (protectedControl(item.identifier, item.name)) return false;
  const auto owner = ownerBundle(item, platform_.workspace);
  const auto& visible = preferences_.visibleBundles();
  return std::find(visible.begin(), visible.end(), owner) == visible.end();
}

std::vector<BarItem> ItemsMenu::listedItems() const {
  std::vector<BarItem> listed;
  for (const auto& item : links_.items())
    if (isListed(item)) listed.push_back(item);
  if (preferences_.alphabetical()) {
    sortAlphabetically(listed, platform_.workspace);
    return listed;
  }
  return orderedItems(std::move(listed), preferences_.features().itemOrder);
}

bool ItemsMenu::isSystemItem(const BarItem& item) const {
  return isSystemOwnerBundle(ownerBundle(item, platform_.workspace)) ||
         systemControl(item, platform_.workspace).has_value();
}

void ItemsMenu::showItemsMenu() {
  if (pickerIsShown_) return;
  if (links_.accessPanelShown && links_.accessPanelShown()) {
    links_.closeAccessPanel();
    links_.scheduleAutoCollapse();
  }
  const auto& toggle = statusItem_.item();
  if (!toggle || !toggle->hasButton()) return;

  links_.stopAutoCollapse();
  buildItemsMenu();
  pickerIsShown_ = true;
  statusItem_.refreshHighlight();

  const auto& appearance = preferences_.features().appearance;
  pickerMenu_.appearance = appearance == "light"  ? platform::MenuAppearance::Light
                           : appearance == "dark" ? platform::MenuAppearance::Dark
                                                  : platform::MenuAppearance::System;

  // The menu hangs below the icon, right-aligned to it and kept inside the screen; without a
  // place for the icon, it hangs from the icon's left edge as the bar places menus.
  auto closed = lifetime_.guard([this] { menuDidClose(); });
  const auto width = platform_.menus.menuSize(pickerMenu_).width;
  if (const auto topLeft =
          itemsMenuTopLeft(statusItemScreenFrame(toggle), platform_.screens.screens(), width))
    platform_.menus.popUpAt(pickerMenu_, *topLeft, toggle, std::move(closed));
  else
    platform_.menus.popUp(pickerMenu_, toggle, std::move(closed));
  menuWillOpen();
}

MenuRow ItemsMenu::itemRow(const BarItem& item) {
  const auto& workspace = platform_.workspace;
  MenuRow row;
  row.title = displayName(item, workspace);
  row.representedObject = item;
  row.action = atOnce([this, object = row.representedObject] { pickMenuItem(object); });
  if (auto help = helpText(item, workspace)) row.toolTip = *help;
  if (preferences_.showAppNames()) {
    if (auto detail = detailName(item, workspace)) row.subtitle = *detail;
  }
  const auto symbol = symbolName(item, workspace);
  if (symbol && platform_.symbols.hasSymbol(*symbol))
    row.image = rowImage(*platform::Image::symbol(*symbol));
  else if (item.icon)
    row.image = rowImage(*item.icon);
  return row;
}

MenuRow ItemsMenu::commandRow(std::string title, std::function<void()> action) {
  MenuRow row;
  row.title = std::move(title);
  row.action = std::move(action);
  return row;
}

void ItemsMenu::buildItemsMenu() {
  auto& rows = pickerMenu_.rows;
  rows.clear();
  const auto listed = listedItems();
  const auto& features = preferences_.features();

  // Sections of the user's groups; an item may stand in several.
  std::set<std::string> grouped;
  for (const auto& group : features.groups) {
    grouped.insert(group.itemIDs.begin(), group.itemIDs.end());
    std::vector<const BarItem*> members;
    for (const auto& item : listed)
      if (std::find(group.itemIDs.begin(), group.itemIDs.end(), item.id) != group.itemIDs.end())
        members.push_back(&item);
    if (members.empty()) continue;
    if (!rows.empty()) rows.push_back(MenuRow::separator());
    rows.push_back(sectionHeader(group.name));
    for (const auto* item : members)
      rows.push_back(itemRow(*item));
  }

  // The rest: applications' items, then the system's under a header of their own.
  for (const auto& item : listed)
    if (!grouped.contains(item.id) && !isSystemItem(item)) rows.push_back(itemRow(item));
  bool systemHeader = false;
  for (const auto& item : listed) {
    if (grouped.contains(item.id) || !isSystemItem(item)) continue;
    if (!systemHeader) {
      rows.push_back(MenuRow::separator());
      rows.push_back(sectionHeader("System"));
      systemHeader = true;
    }
    rows.push_back(itemRow(item));
  }

  if (const auto& message = notice_.message()) {
    auto row = commandRow("Something needs attention…", deferred([this] { settingsMenuAction(); }));
    row.imageName = "exclamationmark.triangle";
    row.toolTip = *message;
    rows.push_back(std::move(row));
  }
  const bool trusted = links_.trusted();
  if (trusted && listed.empty()) {
    auto row = commandRow("No menu bar items", nullptr);
    row.enabled = false;
    rows.push_back(std::move(row));
  } else if (!trusted) {
    rows.push_back(
        commandRow("Allow Accessibility…", deferred([this] { permissionMenuAction(); })));
  }

  rows.push_back(MenuRow::separator());
  rows.push_back(commandRow("Search Items…", deferred([this] { searchMenuAction(); })));
  rows.push_back(commandRow("Open Overflow Bar", deferred([this] { overflowMenuAction(); })));

  if (!features.presets.empty()) {
    rows.push_back(MenuRow::separator());
    rows.push_back(sectionHeader("Presets"));
    for (const auto& preset : features.presets) {
      auto row = commandRow(preset.name, nullptr);
      row.representedObject = preset.id.text();
      row.action = atOnce([this, object = row.representedObject] { presetMenuAction(object); });
      rows.push_back(std::move(row));
    }
    rows.push_back(MenuRow::separator());
  }

  for (const auto& action : features.actions) {
    if (!openableURL(action)) continue;
    auto row = commandRow(action.name, nullptr);
    row.representedObject = action.id.text();
    row.action = atOnce([this, object = row.representedObject] { quickMenuAction(object); });
    rows.push_back(std::move(row));
  }

  rows.push_back(commandRow(links_.collapsed() ? "Show All Menu Bar Items" : "Hide Menu Bar Items",
                            atOnce([this] { links_.toggleReveal(); })));
  auto settings = commandRow("Settings…", deferred([this] { settingsMenuAction(); }));
  settings.keyEquivalent = ",";
  rows.push_back(std::move(settings));

  const auto version = links_.availableVersion ? links_.availableVersion() : std::nullopt;
  auto update = commandRow(version ? "Update to " + *version + "…" : "Check for Updates…",
                           atOnce([this] { checkForUpdatesMenuAction(); }));
  update.enabled = links_.canCheckForUpdates && links_.canCheckForUpdates();
  rows.push_back(std::move(update));

  rows.push_back(MenuRow::separator());
  auto quit = commandRow("Quit tucklet", atOnce([this] { quitMenuAction(); }));
  quit.keyEquivalent = "q";
  rows.push_back(std::move(quit));
}

std::function<void()> ItemsMenu::deferred(std::function<void()> work) const {
  // On the main queue: the menu has finished closing before the work starts.
  return lifetime_.guard(
      [this, work = lifetime_.guard(std::move(work))] { platform_.runLoop.async(work); });
}

std::function<void()> ItemsMenu::atOnce(std::function<void()> work) const {
  return lifetime_.guard(std::move(work));
}

void ItemsMenu::pickMenuItem(const std::any& representedObject) {
  const auto* item = std::any_cast<BarItem>(&representedObject);
  if (!item) return;
  platform_.runLoop.async(lifetime_.guard([this, item = *item] { links_.openItem(item); }));
}

void ItemsMenu::searchMenuAction() {
  if (links_.showAccessPanel) links_.showAccessPanel(true);
}

void ItemsMenu::overflowMenuAction() {
  if (links_.showAccessPanel) links_.showAccessPanel(false);
}

void ItemsMenu::presetMenuAction(const std::any& representedObject) {
  const auto* preset = findById(preferences_.features().presets, representedObject);
  if (preset && links_.applyPreset) links_.applyPreset(*preset);
}

void ItemsMenu::quickMenuAction(const std::any& representedObject) {
  const auto* action = findById(preferences_.features().actions, representedObject);
  if (!action) return;
  if (auto url = openableURL(*action)) platform_.workspace.openURL(*url);
}

void ItemsMenu::settingsMenuAction() {
  if (links_.openSettingsWindow) links_.openSettingsWindow();
}

void ItemsMenu::permissionMenuAction() {
  links_.requestAccess();
}

void ItemsMenu::checkForUpdatesMenuAction() {
  if (links_.canCheckForUpdates && links_.canCheckForUpdates() && links_.checkForUpdates)
    links_.checkForUpdates();
}

void ItemsMenu::quitMenuAction() {
  platform_.application.terminate();
}

void ItemsMenu::cancelMenuTracking() {
  if (pickerIsShown_) platform_.menus.cancelTracking();
}

void ItemsMenu::menuWillOpen() {
  pickerIsShown_ = true;
}

void ItemsMenu::menuDidClose() {
  pickerIsShown_ = false;
  statusItem_.cancelExpandedSession();
  statusItem_.refreshHighlight();
  links_.scheduleAutoCollapse();
}

}  // namespace tucklet
