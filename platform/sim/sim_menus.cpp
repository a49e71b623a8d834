#include "platform/sim/sim_menus.h"

#include <algorithm>

#include "platform/sim/sim_ax_tree.h"
#include "platform/sim/sim_core.h"
#include "platform/sim/sim_layout.h"

namespace tucklet::sim {
namespace {

namespace key_code = platform::key_code;

// The widest a menu may be: the first screen, less a margin on each side.
double maximumMenuWidth(const SimState& state) {
  if (state.world.screens.empty()) return 0;
  return state.world.screens.front().frame.width - 2 * menu_metrics::kHighlightInset;
}

bool darkMenus(const SimState& state, platform::MenuAppearance appearance) {
  switch (appearance) {
    case platform::MenuAppearance::Light:
      return false;
    case platform::MenuAppearance::Dark:
      return true;
    case platform::MenuAppearance::System:
      break;
  }
  return state.world.darkAppearance;
}

// A menu hangs just below its item (window-list coordinates), or at a given top-left corner;
// either way it is kept on the first screen.
Rect menuFrame(const SimState& state, const std::optional<Rect>& itemFrame,
               const std::optional<Point>& topLeft, Size size) {
  Rect frame{0, state.world.menuBarHeight, size.width, size.height};
  if (topLeft) {
    const auto p = toWindowListPoint(state, *topLeft);
    frame.x = p.x;
    frame.y = p.y;
  } else if (itemFrame) {
    frame.x = itemFrame->x;
    frame.y = itemFrame->maxY();
  } else {
    const auto pointer = toWindowListPoint(state, state.world.pointer);
    frame.x = pointer.x;
    frame.y = pointer.y;
  }
  if (!state.world.screens.empty()) {
    const Rect screen = toWindowList(state, state.world.screens.front().frame);
    frame.x =
        std::clamp(frame.x, screen.minX(), std::max(screen.minX(), screen.maxX() - size.width));
    frame.y = std::max(frame.y, screen.minY());
  }
  return frame;
}

pid_t menuWindowOwner(const SimState& state, const AppEntry& app) {
  if (app.app.menuWindowOwner.empty()) return app.app.pid;
  for (const auto& other : state.apps)
    if (other.app.bundleIdentifier == app.app.menuWindowOwner) return other.app.pid;
  return app.app.pid;
}

void convertRows(const platform::MenuRows& rows, std::vector<MenuRow>& out) {
  for (const auto& row : rows) {
    MenuRow shown;
    shown.title = row.title;
    shown.separator = row.kind == platform::MenuRow::Kind::Separator;
    shown.enabled = row.kind == platform::MenuRow::Kind::Item && row.enabled;
    out.push_back(shown);
  }
}

bool choosable(const platform::MenuRow& row) {
  return row.kind == platform::MenuRow::Kind::Item && row.enabled && row.submenu.empty();
}

void findIn(const platform::MenuRows& rows, const std::string& title,
            std::vector<std::size_t>& prefix, std::optional<std::vector<std::size_t>>& found) {
  for (std::size_t i = 0; i < rows.size() && !found; ++i) {
    prefix.push_back(i);
    if (choosable(rows[i]) && rows[i].title == title) found = prefix;
    if (!found) findIn(rows[i].submenu, title, prefix, found);
    prefix.pop_back();
  }
}

}  // namespace

std::vector<Rect> menuRowFrames(const ActiveMenu& menu) {
  std::vector<Rect> frames;
  for (const auto& row : menu.layout.rows)
    frames.push_back({menu.frame.x + row.frame.x, menu.frame.y + row.frame.y, row.frame.width,
                      row.frame.height});
  return frames;
}

std::vector<MenuRow> rowsOf(const platform::MenuModel& model) {
  std::vector<MenuRow> rows;
  convertRows(model.rows, rows);
  return rows;
}

MenuLayout popUpMenuLayout(const SimState& state, const platform::MenuModel& model) {
  return layOutMenu(model, state.menuTextWidth, darkMenus(state, model.appearance),
                    maximumMenuWidth(state));
}

void openExtraMenu(SimState& state, Outbox& out, ExtraId extra) {
  if (state.menu && state.menu->extra == extra) return;
  auto it = state.extras.find(extra);
  if (it == state.extras.end()) return;
  const auto* app = state.findApp(it->second.pid);
  if (!app) return;
  closeMenu(state, out);

  const auto slots = layOutMenuBar(state);
  std::optional<Rect> itemFrame;
  if (const auto* slot = findSlot(slots, extra); slot && !state.world.screens.empty())
    itemFrame = toWindowList(state, slot->frame);

  ActiveMenu menu;
  menu.serial = state.newId();
  menu.extra = extra;
  menu.pid = it->second.pid;
  menu.windowOwner = menuWindowOwner(state, *app);
  menu.window = state.newWindow();
  menu.rows = it->second.extra.menu;
  menu.layout = layOutMenu(menu.rows, state.menuTextWidth, state.world.darkAppearance,
                           maximumMenuWidth(state));
  menu.frame = menuFrame(state, itemFrame, std::nullopt, menu.layout.size);
  state.menu = std::move(menu);

  const auto subject = menuPath(state, *state.menu);
  postAXNotification(state, out, state.menu->pid,
                     {extraItemPath(state, extra), extraChildPath(state, extra),
                      applicationPath(state, state.menu->pid)},
                     subject, "AXMenuOpened");
}

void openPopUpMenu(SimState& state, Outbox& out, const platform::MenuModel& model,
                   std::uint64_t underOwnItem, std::optional<Point> topLeft,
                   std::function<void()> closed) {
  closeMenu(state, out);
  const auto slots = layOutMenuBar(state);
  std::optional<Rect> itemFrame;
  if (const auto* slot = findOwnSlot(slots, underOwnItem);
      slot && slot->shown && !state.world.screens.empty())
    itemFrame = toWindowList(state, slot->frame);

  ActiveMenu menu;
  menu.serial = state.newId();
  // A menu placed at a point still belongs to its status item while that item is on the bar.
  menu.ownItem = itemFrame ? underOwnItem : 0;
  menu.pid = state.selfPid();
  menu.windowOwner = state.selfPid();
  menu.window = state.newWindow();
  menu.model = model;
  menu.rows = rowsOf(model);
  menu.layout = popUpMenuLayout(state, model);
  menu.frame = menuFrame(state, itemFrame, topLeft, menu.layout.size);
  menu.closed = std::move(closed);
  state.menu = std::move(menu);
  out.now.push_back([](SimCore& core) { core.runLoop.beginTracking(); });
}

void closeMenu(SimState& state, Outbox& out) {
  if (!state.menu) return;
  const ActiveMenu menu = std::move(*state.menu);
  state.menu.reset();
  if (menu.extra == 0) {
    out.now.push_back([](SimCore& core) { core.runLoop.endTracking(); });
    if (menu.closed) out.post([closed = menu.closed](SimCore&) { closed(); });
    return;
  }
  // Paths of the closed menu still name the process's incarnation; a process that quit gets
  // nothing.
  const auto* app = state.findApp(menu.pid);
  if (!app) return;
  const ElementPath subject{ElementPath::Kind::Menu, menu.pid, app->incarnation, menu.serial, 0};
  postAXNotification(state, out, menu.pid,
                     {subject, extraItemPath(state, menu.extra), extraChildPath(state, menu.extra),
                      applicationPath(state, menu.pid)},
                     subject, "AXMenuClosed");
}

bool chooseMenuRow(SimState& state, Outbox& out, const std::vector<std::size_t>& indexPath) {
  if (!state.menu || indexPath.empty()) return false;
  auto& menu = *state.menu;
  if (menu.extra != 0) {
    if (indexPath.size() != 1 || indexPath[0] >= menu.rows.size()) return false;
    const auto& row = menu.rows[indexPath[0]];
    if (row.separator || !row.enabled) return false;
    state.chosenRows.push_back({menu.pid, menu.extra, row.title});
    closeMenu(state, out);
    return true;
  }
  const platform::MenuRows* rows = &menu.model.rows;
  const platform::MenuRow* row = nullptr;
  for (const auto index : indexPath) {
    if (index >= rows->size()) return false;
    row = &(*rows)[index];
    rows = &row->submenu;
  }
  if (!row || !choosable(*row)) return false;
  state.chosenRows.push_back({menu.pid, 0, row->title});
  auto action = row->action;
  closeMenu(state, out);
  // The menu has closed (and said so) before the chosen row's action is sent.
  if (action) out.post([action](SimCore&) { action(); });
  return true;
}

std::optional<std::vector<std::size_t>> findMenuRow(const SimState& state,
                                                    const std::string& title) {
  if (!state.menu) return std::nullopt;
  std::optional<std::vector<std::size_t>> found;
  if (state.menu->extra != 0) {
    for (std::size_t i = 0; i < state.menu->rows.size(); ++i) {
      const auto& row = state.menu->rows[i];
      if (!row.separator && row.enabled && row.title == title) return std::vector{i};
    }
    return std::nullopt;
  }
  std::vector<std::size_t> prefix;
  findIn(state.menu->model.rows, title, prefix, found);
  return found;
}

void trackPointer(SimState& state, Point p) {
  if (!state.menu) return;
  auto& menu = *state.menu;
  std::optional<std::size_t> under;
  const auto frames = menuRowFrames(menu);
  for (std::size_t i = 0; i < frames.size(); ++i)
    if (frames[i].contains(p) && menu.layout.rows[i].choosable()) under = i;
  menu.highlighted = under;
}

bool menuKeyDown(SimState& state, Outbox& out, std::uint16_t keyCode) {
  if (!state.menu) return false;
  auto& menu = *state.menu;
  switch (keyCode) {
    case key_code::DownArrow:
    case key_code::UpArrow:
      menu.highlighted =
          nextChoosableRow(menu.layout, menu.highlighted, keyCode == key_code::DownArrow ? 1 : -1);
      return true;
    case key_code::Return:
    case key_code::KeypadEnter:
      // Return with nothing highlighted closes the menu, as Escape does.
      if (!menu.highlighted || !chooseMenuRow(state, out, {*menu.highlighted}))
        closeMenu(state, out);
      return true;
    case key_code::Escape:
      closeMenu(state, out);
      return true;
    default:
      return false;
  }
}

}  // namespace tucklet::sim
