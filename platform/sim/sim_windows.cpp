#include "platform/sim/sim_windows.h"

#include <algorithm>

#include "platform/sim/sim_layout.h"
#include "platform/sim/sim_status_bar.h"

namespace tucklet::sim {
namespace {

WindowEntry* findWindow(SimState& state, platform::WindowNumber number) {
  for (auto& window : state.windows)
    if (window.number == number && window.content) return &window;
  return nullptr;
}

const WindowEntry* findWindow(const SimState& state, platform::WindowNumber number) {
  for (const auto& window : state.windows)
    if (window.number == number && window.content) return &window;
  return nullptr;
}

void postKeyChange(Outbox& out, platform::WindowNumber window, bool isKey) {
  out.post([window, isKey](SimCore& core) {
    core.deliverToWindow(window, [isKey](platform::WindowContent& c) { c.keyChanged(isKey); });
  });
}

// Puts a new own window in front of every other window.
platform::WindowNumber addWindow(SimState& state, const WindowEntry& entry) {
  auto& added = *state.windows.insert(state.windows.begin(), entry);
  added.number = state.newWindow();
  added.pid = state.selfPid();
  return added.number;
}

// A new own window's entry: its content (told the appearance it will be shown in), options and
// close callback; placement is the caller's.
WindowEntry newOwnWindow(SimCore& core, std::shared_ptr<platform::WindowContent> content,
                         const platform::WindowOptions& options, std::function<void()> closed) {
  WindowEntry entry;
  entry.appearance = options.appearance;
  content->appearanceChanged(core.read([&](const SimState& s) { return ownWindowDark(s, entry); }));
  entry.content = std::move(content);
  entry.window.name = options.title;
  entry.window.layer = options.layer;
  entry.window.alpha = 1.0;
  entry.transient = options.transient;
  entry.borderless = options.borderless;
  entry.closed = std::make_shared<std::function<void()>>(std::move(closed));
  return entry;
}

class SimWindowHandle final : public platform::WindowHandle {
 public:
  SimWindowHandle(std::weak_ptr<SimCore> core, platform::WindowNumber number)
      : core_(std::move(core)), number_(number) {}
  ~SimWindowHandle() override {
    if (auto core = core_.lock())
      core->change(
          [n = number_](SimState& state, Outbox& out) { closeOwnWindow(state, out, n, false); });
  }

  platform::WindowNumber number() const override { return number_; }
  bool isOpen() const override {
    auto core = core_.lock();
    return core && core->read([n = number_](const SimState& s) { return findWindow(s, n); });
  }
  std::optional<Rect> frame() const override {
    return read(
        [](const SimState& s, const WindowEntry& w) { return toScreenRect(s, w.window.bounds); });
  }
  std::optional<Rect> contentFrame() const override {
    return read([](const SimState& s, const WindowEntry& w) {
      return toScreenRect(s, ownContentFrame(w));
    });
  }
  void close() override {
    if (auto core = core_.lock())
      core->change(
          [n = number_](SimState& state, Outbox& out) { closeOwnWindow(state, out, n, true); });
  }
  void makeKey() override {
    if (auto core = core_.lock())
      core->change([n = number_](SimState& state, Outbox& out) {
        if (findWindow(state, n)) setKeyWindow(state, out, n);
      });
  }
  bool isKey() const override {
    auto core = core_.lock();
    return core && core->read([n = number_](const SimState& s) { return s.keyWindow == n; });
  }
  void setAppearance(platform::MenuAppearance appearance) override {
    if (auto core = core_.lock())
      core->change([n = number_, appearance](SimState& state, Outbox& out) {
        auto* w = findWindow(state, n);
        if (!w || w->appearance == appearance) return;
        const bool wasDark = ownWindowDark(state, *w);
        w->appearance = appearance;
        const bool dark = ownWindowDark(state, *w);
        if (dark == wasDark) return;
        out.post([n, dark](SimCore& c) {
          c.deliverToWindow(
              n, [dark](platform::WindowContent& content) { content.appearanceChanged(dark); });
        });
      });
  }
  void contentSizeChanged() override {
    auto core = core_.lock();
    if (!core) return;
    auto content = core->read([n = number_](const SimState& s) {
      const auto* w = findWindow(s, n);
      return w ? w->content : nullptr;
    });
    if (!content) return;
    const auto size = content->preferredSize();
    core->change([n = number_, size](SimState& state, Outbox&) {
      auto* w = findWindow(state, n);
      if (!w) return;
      if (w->popover) {
        if (auto placed = popoverPlacement(state, w->underOwnItem, size)) {
          w->window.bounds = placed->first;
          w->arrowX = placed->second;
          return;
        }
      }
      w->window.bounds.width = size.width;
      w->window.bounds.height =
          size.height + (w->window.bounds.height - ownContentFrame(*w).height);
    });
  }
  void setFrame(Rect frame) override {
    if (auto core = core_.lock())
      core->change([n = number_, frame](SimState& state, Outbox&) {
        auto* w = findWindow(state, n);
        if (!w || w->popover) return;
        const Point topLeft = toWindowListPoint(state, {frame.x, frame.maxY()});
        w->window.bounds = {topLeft.x, topLeft.y, frame.width, frame.height};
      });
  }

 private:
  static Rect toScreenRect(const SimState& state, const Rect& r) {
    const auto top = toScreenPoint(state, {r.x, r.y});
    return {top.x, top.y - r.height, r.width, r.height};
  }
  template <typename F>
  std::optional<Rect> read(F f) const {
    auto core = core_.lock();
    if (!core) return std::nullopt;
    return core->read([&](const SimState& s) -> std::optional<Rect> {
      const auto* w = findWindow(s, number_);
      if (!w) return std::nullopt;
      return f(s, *w);
    });
  }

  std::weak_ptr<SimCore> core_;
  platform::WindowNumber number_;
};

}  // namespace

bool ownWindowDark(const SimState& state, const WindowEntry& window) {
  switch (window.appearance) {
    case platform::MenuAppearance::Dark:
      return true;
    case platform::MenuAppearance::Light:
      return false;
    case platform::MenuAppearance::System:
      break;
  }
  return state.world.darkAppearance;
}

Rect ownContentFrame(const WindowEntry& window) {
  Rect r = window.window.bounds;
  const double top = window.popover                                   ? kPopoverArrowHeight
                     : window.window.layer == 0 && !window.borderless ? kTitleBarHeight
                                                                      : 0;
  r.y += top;
  r.height = std::max(0.0, r.height - top);
  return r;
}

std::optional<std::pair<Rect, double>> popoverPlacement(const SimState& state,
                                                        std::uint64_t ownItem, Size contentSize) {
  if (state.world.screens.empty()) return std::nullopt;
  const auto slots = layOutMenuBar(state);
  const auto* slot = findOwnSlot(slots, ownItem);
  if (!slot || !slot->shown) return std::nullopt;
  const Rect item = toWindowList(state, slot->frame);
  const auto screens = currentScreens(state);
  if (screens.empty()) return std::nullopt;
  const Rect visible = toWindowList(state, screens.front().visibleFrame);
  const double width = contentSize.width;
  const double middle = item.x + item.width / 2;
  const double x = std::clamp(middle - width / 2, visible.x + 4,
                              std::max(visible.x + 4, visible.maxX() - 4 - width));
  const double inset = kPopoverCornerRadius + kPopoverArrowWidth / 2;
  const double arrowX =
      std::clamp(middle - x, std::min(inset, width / 2), std::max(width / 2, width - inset));
  return std::pair{Rect{x, item.maxY(), width, contentSize.height + kPopoverArrowHeight}, arrowX};
}

OwnWindowPart ownWindowPart(const SimState& state, platform::WindowNumber window, Point p) {
  const auto* entry = findWindow(state, window);
  if (!entry) return OwnWindowPart::Content;
  const Rect content = ownContentFrame(*entry);
  if (entry->popover || p.y >= content.y) return OwnWindowPart::Content;
  const Point close{entry->window.bounds.x + kCloseButtonX,
                    entry->window.bounds.y + kTitleBarHeight / 2};
  const double dx = p.x - close.x, dy = p.y - close.y;
  return dx * dx + dy * dy <= kCloseButtonRadius * kCloseButtonRadius ? OwnWindowPart::CloseButton
                                                                      : OwnWindowPart::TitleBar;
}

void closeOwnWindow(SimState& state, Outbox& out, platform::WindowNumber number, bool notify) {
  auto it =
      std::find_if(state.windows.begin(), state.windows.end(),
                   [number](const WindowEntry& w) { return w.number == number && w.content; });
  if (it == state.windows.end()) return;
  auto closed = it->closed;
  state.windows.erase(it);
  if (state.keyWindow == number) state.keyWindow = 0;
  if (state.pressedWindow == number) state.pressedWindow = 0;
  if (state.hoveredWindow == number) state.hoveredWindow = 0;
  if (notify && closed && *closed) out.post([closed](SimCore&) { (*closed)(); });
}

void setKeyWindow(SimState& state, Outbox& out, platform::WindowNumber window) {
  if (state.keyWindow == window) return;
  if (state.keyWindow != 0) postKeyChange(out, state.keyWindow, false);
  state.keyWindow = window;
  if (window != 0) postKeyChange(out, window, true);
}

void postMouseToWindow(const SimState& state, Outbox& out, platform::WindowNumber window,
                       const platform::InputEvent& event, Point p) {
  const auto* entry = findWindow(state, window);
  if (!entry) return;
  const auto content = ownContentFrame(*entry);
  const Point local{p.x - content.x, p.y - content.y};
  out.post([window, event, local](SimCore& core) {
    core.deliverToWindow(window, [&](platform::WindowContent& c) { c.mouseEvent(event, local); });
  });
}

void postMouseExitToWindow(Outbox& out, platform::WindowNumber window) {
  out.post([window](SimCore& core) {
    core.deliverToWindow(window, [](platform::WindowContent& c) { c.mouseExited(); });
  });
}

void postKeyToWindow(Outbox& out, platform::WindowNumber window,
                     const platform::InputEvent& event) {
  out.post([window, event](SimCore& core) {
    core.deliverToWindow(window, [&](platform::WindowContent& c) { c.keyEvent(event); });
  });
}

void postSystemAppearance(const SimState& state, Outbox& out) {
  const bool dark = state.world.darkAppearance;
  for (const auto& window : state.windows) {
    if (!window.content || window.appearance != platform::MenuAppearance::System) continue;
    out.post([n = window.number, dark](SimCore& core) {
      core.deliverToWindow(n, [dark](platform::WindowContent& c) { c.appearanceChanged(dark); });
    });
  }
}

std::unique_ptr<platform::WindowHandle> SimWindows::openWindow(
    std::shared_ptr<platform::WindowContent> content, Point topLeft,
    const platform::WindowOptions& options, std::function<void()> closed) {
  auto core = core_.lock();
  if (!core || !content) return nullptr;
  auto entry = newOwnWindow(*core, std::move(content), options, std::move(closed));
  const auto size = entry.content->preferredSize();
  const auto number = core->change([&](SimState& state, Outbox&) {
    const Point p = toWindowListPoint(state, topLeft);
    const double titleBar = options.layer == 0 && !options.borderless ? kTitleBarHeight : 0;
    entry.window.bounds = {p.x, p.y - titleBar, size.width, size.height + titleBar};
    return addWindow(state, entry);
  });
  return std::make_unique<SimWindowHandle>(core_, number);
}

std::unique_ptr<platform::WindowHandle> SimWindows::showPopover(
    std::shared_ptr<platform::WindowContent> content, const platform::StatusItemRef& under,
    const platform::WindowOptions& options, std::function<void()> closed) {
  auto core = core_.lock();
  const auto ownItem = ownItemIdOf(under);
  if (!core || !content || ownItem == 0) return nullptr;
  auto entry = newOwnWindow(*core, std::move(content), options, std::move(closed));
  const auto size = entry.content->preferredSize();
  entry.window.layer = kPopoverWindowLayer;
  entry.borderless = false;
  entry.popover = true;
  entry.underOwnItem = ownItem;
  const auto number = core->change([&](SimState& state, Outbox&) -> platform::WindowNumber {
    const auto placed = popoverPlacement(state, ownItem, size);
    if (!placed) return 0;
    entry.window.bounds = placed->first;
    entry.arrowX = placed->second;
    return addWindow(state, entry);
  });
  if (number == 0) return nullptr;
  return std::make_unique<SimWindowHandle>(core_, number);
}

std::optional<platform::WindowNumber> SimWindows::keyWindow() const {
  auto core = core_.lock();
  if (!core) return std::nullopt;
  const auto key = core->read([](const SimState& s) { return s.keyWindow; });
  if (key == 0) return std::nullopt;
  return key;
}

}  // namespace tucklet::sim
