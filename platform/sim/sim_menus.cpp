#include "platform/sim/sim_menus.h"

#include <algorithm>

#include "platform/sim/sim_ax_tree.h"
#include "platform/sim/sim_core.h"
#include "platform/sim/sim_layout.h"

namespace tucklet::sim {
namespace {

constexpr double kMenuPadding = 4;
constexpr double kRowHeight = 22;
constexpr double kSeparatorHeight = 11;
constexpr double kMinimumMenuWidth = 120;
constexpr double kMenuTextInset = 48;

double rowHeight(const MenuRow& row) {
  return row.separator ? kSeparatorHeight : kRowHeight;
}

// A menu hangs just below its item (window-list coordinates), kept on the first screen.
Rect menuFrame(const SimState& state, const std::optional<Rect>& itemFrame,
               const std::vector<MenuRow>& rows, double minimumWidth) {
  std::size_t longest = 0;
  double height = 2 * kMenuPadding;
  for (const auto& row : rows) {
    longest = std::max(longest, characterCount(row.title));
    height += rowHeight(row);
  }
  const double width = std::max(
      {kMinimumMenuWidth, minimumWidth, 7 * static_cast<double>(longest) + kMenuTextInset});
  Rect frame{0, state.world.menuBarHeight, width, height};
  if (itemFrame) {
    frame.x = itemFrame->x;
    frame.y = itemFrame->maxY();
  } else {
    const auto pointer = toWindowListPoint(state, state.world.pointer);
    frame.x = pointer.x;
    frame.y = pointer.y;
  }
  if (!state.world.screens.empty()) {
    const Rect screen = toWindowList(state, state.world.screens.front().frame);
    frame.x = std::clamp(frame.x, screen.minX(), std::max(screen.minX(), screen.maxX() - width));
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
  double y = menu.frame.y + kMenuPadding;
  for (const auto& row : menu.rows) {
    frames.push_back({menu.frame.x, y, menu.frame.width, rowHeight(row)});
    y += rowHeight(row);
  }
  return frames;
}

std::vector<MenuRow> rowsOf(const platform::MenuModel& model) {
  std::vector<MenuRow> rows;
  convertRows(model.rows, rows);
  return rows;
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
  menu.frame = menuFrame(state, itemFrame, menu.rows, 0);
  state.menu = std::move(menu);

  const auto subject = menuPath(state, *state.menu);
  postAXNotification(state, out, state.menu->pid,
                     {extraItemPath(state, extra), extraChildPath(state, extra),
                      applicationPath(state, state.menu->pid)},
                     subject, "AXMenuOpened");
}

void openPopUpMenu(SimState& state, Outbox& out, const platform::MenuModel& model,
                   std::uint64_t underOwnItem, std::function<void()> closed) {
  closeMenu(state, out);
  const auto slots = layOutMenuBar(state);
  std::optional<Rect> itemFrame;
  if (const auto* slot = findOwnSlot(slots, underOwnItem);
      slot && slot->shown && !state.world.screens.empty())
    itemFrame = toWindowList(state, slot->frame);

  ActiveMenu menu;
  menu.serial = state.newId();
  menu.ownItem = itemFrame ? underOwnItem : 0;
  menu.pid = state.selfPid();
  menu.windowOwner = state.selfPid();
  menu.window = state.newWindow();
  menu.model = model;
  menu.rows = rowsOf(model);
  menu.frame = menuFrame(state, itemFrame, menu.rows, model.minimumWidth);
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

}  // namespace tucklet::sim
