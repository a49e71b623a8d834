#include "platform/sim/sim_layout.h"

#include <algorithm>
#include <tuple>

namespace tucklet::sim {
namespace {

constexpr double kCharacterWidth = 7;
constexpr double kTitlePadding = 18;
constexpr double kAppleMenuLeft = 8;
constexpr double kAppleMenuRight = 42;
constexpr double kStatusAreaRightInset = 8;
constexpr double kStatusItemSpacing = 4;
constexpr double kAppMenusGap = 8;

bool runsFromApplications(const std::string& path) {
  return path.starts_with("/Applications/") || path.starts_with("/System/Applications/");
}

double primaryTop(const SimState& state) {
  const auto& screens = state.world.screens;
  return screens.empty() ? 0.0 : screens.front().frame.maxY();
}

}  // namespace

std::size_t characterCount(const std::string& utf8) {
  // Count code points: continuation bytes (10xxxxxx) do not start a character.
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

double titleWidth(const std::string& title) {
  return kCharacterWidth * static_cast<double>(characterCount(title)) + kTitlePadding;
}

std::vector<platform::Screen> currentScreens(const SimState& state) {
  std::vector<platform::Screen> result;
  for (const auto& screen : state.world.screens) {
    platform::Screen s;
    s.frame = screen.frame;
    s.number = screen.number;
    if (screen.visibleFrame) {
      s.visibleFrame = *screen.visibleFrame;
    } else {
      s.visibleFrame = screen.frame;
      s.visibleFrame.height = std::max(0.0, screen.frame.height - state.world.menuBarHeight);
    }
    result.push_back(s);
  }
  return result;
}

std::vector<AppMenuTitle> applicationMenuTitles(const SimState& state) {
  std::vector<AppMenuTitle> titles;
  if (state.world.screens.empty()) return titles;
  const Rect screen = state.world.screens.front().frame;
  const double height = state.world.menuBarHeight;
  const double y = screen.maxY() - height;
  titles.push_back(
      {"Apple", {screen.x + kAppleMenuLeft, y, kAppleMenuRight - kAppleMenuLeft, height}});
  const auto* app = state.findApp(state.frontmost);
  if (!app) return titles;

  std::vector<std::string> names;
  names.push_back(app->app.localizedName.value_or(""));
  if (app->isSelf) {
    // The first row of the main menu is the application menu, shown as the name.
    for (std::size_t i = 1; i < state.mainMenu.rows.size(); ++i)
      if (state.mainMenu.rows[i].kind == platform::MenuRow::Kind::Item)
        names.push_back(state.mainMenu.rows[i].title);
  } else {
    names.insert(names.end(), app->app.menus.begin(), app->app.menus.end());
  }
  double x = screen.x + kAppleMenuRight;
  for (const auto& name : names) {
    const double width = titleWidth(name);
    titles.push_back({name, {x, y, width, height}});
    x += width;
  }
  return titles;
}

BarGeometry barGeometry(const SimState& state) {
  BarGeometry g;
  if (state.world.screens.empty()) return g;
  g.hasScreen = true;
  g.screen = state.world.screens.front().frame;
  const double height = state.world.menuBarHeight;
  g.strip = {g.screen.x, g.screen.maxY() - height, g.screen.width, height};
  const auto titles = applicationMenuTitles(state);
  const double left = titles.front().frame.minX();
  const double right = titles.back().frame.maxX();
  g.appMenus = {left, g.strip.y, right - left, height};
  g.leftLimit = g.appMenus.maxX() + kAppMenusGap;
  if (state.world.notch && state.world.notch->width > 0)
    g.leftLimit = std::max(g.leftLimit, g.screen.midX() + state.world.notch->width / 2);
  return g;
}

bool extraHidden(const SimState& state, const ExtraEntry& extra) {
  if (state.assertions.empty()) return false;
  const auto* app = state.findApp(extra.pid);
  const auto* bundle = app && app->app.bundleIdentifier ? &*app->app.bundleIdentifier : nullptr;
  for (const auto& [id, assertion] : state.assertions) {
    const bool controlAllowed =
        extra.extra.control && assertion.controls.count(*extra.extra.control) > 0;
    const bool bundleAllowed = bundle && assertion.bundles.count(*bundle) > 0;
    if (!controlAllowed && !bundleAllowed) return true;
  }
  return false;
}

bool ownItemHidden(const SimState& state, const OwnItemEntry&) {
  if (state.assertions.empty()) return false;
  if (!runsFromApplications(state.world.self.path)) return true;
  return std::any_of(state.assertions.begin(), state.assertions.end(),
                     [](const auto& entry) { return entry.second.hidesCaller; });
}

double ownItemWidth(const OwnItemEntry& item) {
  if (item.length >= 0) return item.length;
  const bool hasImage = item.image != nullptr;
  const bool hasTitle = !item.title.empty();
  double width = 8;
  if (hasImage) width += item.image->size.width;
  if (hasTitle) width += kCharacterWidth * static_cast<double>(characterCount(item.title));
  if (hasImage && hasTitle) width += 4;
  return width;
}

std::vector<BarSlot> layOutMenuBar(const SimState& state) {
  if (state.changing) return computeLayout(state);
  return barLayout(state)->slots;
}

std::shared_ptr<const BarLayout> barLayout(const SimState& state) {
  if (!state.changing && state.layoutCache && state.layoutVersion == state.version)
    return state.layoutCache;
  auto layout = std::make_shared<BarLayout>();
  layout->slots = computeLayout(state);
  for (std::size_t i = 0; i < layout->slots.size(); ++i) {
    const auto& slot = layout->slots[i];
    if (slot.kind == BarSlot::Kind::Extra)
      layout->extraSlots.emplace(slot.extra, i);
    else
      layout->ownSlots.emplace(slot.ownItem, i);
  }
  if (!state.changing) {
    state.layoutCache = layout;
    state.layoutVersion = state.version;
  }
  return layout;
}

std::vector<BarSlot> computeLayout(const SimState& state) {
  struct Candidate {
    double position;
    std::uint64_t sequence;
    BarSlot slot;
    double width;
  };
  std::vector<Candidate> candidates;
  for (const auto& [id, entry] : state.extras) {
    BarSlot slot;
    slot.kind = BarSlot::Kind::Extra;
    slot.extra = id;
    slot.pid = entry.pid;
    slot.position = entry.extra.position.value_or(0);
    slot.hiddenByAssertion = extraHidden(state, entry);
    candidates.push_back({slot.position, entry.sequence, slot, entry.extra.width});
  }
  for (const auto& [id, item] : state.ownItems) {
    if (!item.visible) continue;
    BarSlot slot;
    slot.kind = BarSlot::Kind::OwnStatusItem;
    slot.autosaveName = item.autosaveName;
    slot.ownItem = id;
    slot.pid = state.selfPid();
    slot.position = item.position;
    slot.hiddenByAssertion = ownItemHidden(state, item);
    candidates.push_back({slot.position, item.sequence, slot, ownItemWidth(item)});
  }
  std::stable_sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
    return std::tie(a.position, a.sequence) < std::tie(b.position, b.sequence);
  });

  const auto g = barGeometry(state);
  double cursor = g.screen.maxX() - kStatusAreaRightInset;
  std::vector<BarSlot> slots;
  for (auto& c : candidates) {
    if (!c.slot.hiddenByAssertion && g.hasScreen) {
      const double width = std::max(c.width, 0.0);
      c.slot.frame = {cursor - width, g.strip.y, width, g.strip.height};
      cursor = c.slot.frame.x - kStatusItemSpacing;
      c.slot.shown = c.slot.frame.minX() >= g.leftLimit;
    }
    slots.push_back(c.slot);
  }
  return slots;
}

const BarSlot* findSlot(const std::vector<BarSlot>& slots, ExtraId extra) {
  for (const auto& slot : slots)
    if (slot.kind == BarSlot::Kind::Extra && slot.extra == extra) return &slot;
  return nullptr;
}

const BarSlot* findOwnSlot(const std::vector<BarSlot>& slots, std::uint64_t ownItem) {
  for (const auto& slot : slots)
    if (slot.kind == BarSlot::Kind::OwnStatusItem && slot.ownItem == ownItem) return &slot;
  return nullptr;
}

Rect toWindowList(const SimState& state, const Rect& screenRect) {
  return {screenRect.x, primaryTop(state) - screenRect.maxY(), screenRect.width, screenRect.height};
}

Point toWindowListPoint(const SimState& state, Point screenPoint) {
  return {screenPoint.x, primaryTop(state) - screenPoint.y};
}

Point toScreenPoint(const SimState& state, Point windowListPoint) {
  return {windowListPoint.x, primaryTop(state) - windowListPoint.y};
}

}  // namespace tucklet::sim
