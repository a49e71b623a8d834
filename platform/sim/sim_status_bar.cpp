#include "platform/sim/sim_status_bar.h"

#include "platform/sim/sim_layout.h"
#include "platform/sim/sim_menus.h"
#include "platform/sim/sim_placement.h"

namespace tucklet::sim {
namespace {

// A handle on one of this process's status items. Its state lives in the desktop, so the bar
// lays it out with the others; once removed (or once the desktop is gone) every call does
// nothing.
class SimStatusItem final : public platform::StatusItem {
 public:
  SimStatusItem(std::weak_ptr<SimCore> core, std::uint64_t id) : core_(std::move(core)), id_(id) {}

  std::uint64_t id() const { return id_; }

  double length() const override {
    return read([](const OwnItemEntry& item) { return item.length; }, 0.0);
  }
  void setLength(double length) override {
    change([length](SimState&, OwnItemEntry& item) { item.length = length; });
  }
  bool isVisible() const override {
    return read([](const OwnItemEntry& item) { return item.visible; }, false);
  }
  void setVisible(bool visible) override {
    change([visible](SimState&, OwnItemEntry& item) { item.visible = visible; });
  }
  void setAutosaveName(const std::string& name) override {
    change([&name](SimState& state, OwnItemEntry& item) { applyAutosaveName(state, item, name); });
  }
  std::string autosaveName() const override {
    return read([](const OwnItemEntry& item) { return item.autosaveName; }, std::string());
  }
  void setRemovalAllowed(bool allowed) override {
    change([allowed](SimState&, OwnItemEntry& item) { item.removalAllowed = allowed; });
  }
  bool hasButton() const override {
    return read([](const OwnItemEntry&) { return true; }, false);
  }
  void setImage(platform::ImageRef image) override {
    change([&image](SimState&, OwnItemEntry& item) { item.image = image; });
  }
  platform::ImageRef image() const override {
    return read([](const OwnItemEntry& item) { return item.image; }, platform::ImageRef());
  }
  void setImagePosition(platform::ImagePosition position) override {
    change([position](SimState&, OwnItemEntry& item) { item.imagePosition = position; });
  }
  void setTitle(const std::string& title) override {
    change([&title](SimState&, OwnItemEntry& item) { item.title = title; });
  }
  std::string title() const override {
    return read([](const OwnItemEntry& item) { return item.title; }, std::string());
  }
  void setToolTip(const std::string& toolTip) override {
    change([&toolTip](SimState&, OwnItemEntry& item) { item.toolTip = toolTip; });
  }
  std::string toolTip() const override {
    return read([](const OwnItemEntry& item) { return item.toolTip; }, std::string());
  }
  void setHighlighted(bool highlighted) override {
    change([highlighted](SimState&, OwnItemEntry& item) { item.highlighted = highlighted; });
  }
  bool isHighlighted() const override {
    return read([](const OwnItemEntry& item) { return item.highlighted; }, false);
  }
  void setAccessibilityLabel(const std::string& label) override {
    change([&label](SimState&, OwnItemEntry& item) { item.accessibilityLabel = label; });
  }
  std::string accessibilityLabel() const override {
    return read([](const OwnItemEntry& item) { return item.accessibilityLabel; }, std::string());
  }
  void setAction(std::function<void(const platform::InputEvent&)> action,
                 platform::EventMask mask) override {
    auto shared =
        std::make_shared<std::function<void(const platform::InputEvent&)>>(std::move(action));
    change([&shared, mask](SimState&, OwnItemEntry& item) {
      item.action = shared;
      item.actionMask = mask;
    });
  }
  std::optional<Rect> buttonScreenFrame() const override {
    auto core = core_.lock();
    if (!core) return std::nullopt;
    return core->read([this](const SimState& state) -> std::optional<Rect> {
      if (!state.ownItems.count(id_)) return std::nullopt;
      const auto slots = layOutMenuBar(state);
      const auto* slot = findOwnSlot(slots, id_);
      if (!slot || !slot->shown) return std::nullopt;
      return slot->frame;
    });
  }

 private:
  template <typename F, typename T>
  T read(F&& f, T fallback) const {
    auto core = core_.lock();
    if (!core) return fallback;
    return core->read([&](const SimState& state) -> T {
      auto it = state.ownItems.find(id_);
      return it == state.ownItems.end() ? fallback : f(it->second);
    });
  }

  template <typename F>
  void change(F&& f) {
    auto core = core_.lock();
    if (!core) return;
    core->change([&](SimState& state, Outbox& out) {
      auto it = state.ownItems.find(id_);
      if (it == state.ownItems.end()) return;
      f(state, it->second);
      // A pop-up menu under an item that left the bar closes.
      if (state.menu && state.menu->extra == 0 && state.menu->ownItem == id_) {
        const auto slots = layOutMenuBar(state);
        const auto* slot = findOwnSlot(slots, id_);
        if (!slot || !slot->shown) closeMenu(state, out);
      }
    });
  }

  std::weak_ptr<SimCore> core_;
  std::uint64_t id_;
};

}  // namespace

platform::StatusItemRef SimStatusBar::createStatusItem(double length) {
  auto core = core_.lock();
  if (!core) return nullptr;
  const auto id = core->change([length](SimState& state, Outbox&) {
    OwnItemEntry item;
    item.id = state.newId();
    item.length = length;
    item.window = state.newWindow();
    placeNewOwnItem(state, item);
    const auto newId = item.id;
    state.ownItems.emplace(newId, std::move(item));
    return newId;
  });
  return std::make_shared<SimStatusItem>(core_, id);
}

void SimStatusBar::removeStatusItem(const platform::StatusItemRef& item) {
  auto core = core_.lock();
  const auto* own = dynamic_cast<const SimStatusItem*>(item.get());
  if (!core || !own) return;
  core->change([id = own->id()](SimState& state, Outbox& out) {
    if (state.menu && state.menu->extra == 0 && state.menu->ownItem == id) closeMenu(state, out);
    if (state.pressedOwnItem == id) state.pressedOwnItem = 0;
    state.ownItems.erase(id);
  });
}

std::uint64_t ownItemIdOf(const platform::StatusItemRef& item) {
  const auto* own = dynamic_cast<const SimStatusItem*>(item.get());
  return own ? own->id() : 0;
}

double SimStatusBar::thickness() const {
  auto core = core_.lock();
  if (!core) return 0;
  return core->read([](const SimState& state) { return state.world.menuBarHeight; });
}

std::vector<platform::Screen> SimScreens::screens() const {
  auto core = core_.lock();
  if (!core) return {};
  return core->read([](const SimState& state) { return currentScreens(state); });
}

platform::Point SimScreens::mouseLocation() const {
  auto core = core_.lock();
  if (!core) return {};
  return core->read([](const SimState& state) { return state.world.pointer; });
}

}  // namespace tucklet::sim
