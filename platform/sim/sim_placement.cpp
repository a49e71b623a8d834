#include "platform/sim/sim_placement.h"

#include <algorithm>
#include <tuple>

#include "platform/sim/sim_layout.h"

namespace tucklet::sim {
namespace {

struct Placed {
  BarSlot::Kind kind;
  std::uint64_t id;  // extra id or own item id
  double position;
  std::uint64_t sequence;
  friend bool operator==(const Placed& a, const Placed& b) {
    return a.kind == b.kind && a.id == b.id;
  }
};

std::vector<Placed> placementOrder(const SimState& state) {
  std::vector<Placed> order;
  for (const auto& [id, entry] : state.extras)
    order.push_back({BarSlot::Kind::Extra, id, entry.extra.position.value_or(0), entry.sequence});
  for (const auto& [id, item] : state.ownItems)
    order.push_back({BarSlot::Kind::OwnStatusItem, id, item.position, item.sequence});
  std::stable_sort(order.begin(), order.end(), [](const Placed& a, const Placed& b) {
    return std::tie(a.position, a.sequence) < std::tie(b.position, b.sequence);
  });
  return order;
}

Placed keyOf(const BarSlot& slot) {
  return {slot.kind, slot.kind == BarSlot::Kind::Extra ? slot.extra : slot.ownItem, 0, 0};
}

}  // namespace

void placeNewOwnItem(SimState& state, OwnItemEntry& item) {
  item.position = state.maxPosition() + 1;
  item.sequence = state.nextSequence++;
}

void applyAutosaveName(SimState& state, OwnItemEntry& item, const std::string& name) {
  item.autosaveName = name;
  auto it = state.world.statusItemPlacements.find(name);
  if (!name.empty() && it != state.world.statusItemPlacements.end()) item.position = it->second;
}

bool commandDragSlot(SimState& state, const BarSlot& requested, double toX) {
  BarSlot slot = requested;
  if (slot.kind == BarSlot::Kind::OwnStatusItem && slot.ownItem == 0) {
    for (const auto& [id, item] : state.ownItems)
      if (!slot.autosaveName.empty() && item.autosaveName == slot.autosaveName) slot.ownItem = id;
  }
  if (slot.kind == BarSlot::Kind::Extra) {
    auto it = state.extras.find(slot.extra);
    if (it == state.extras.end() || it->second.extra.fixed) return false;
  } else if (!state.ownItems.count(slot.ownItem)) {
    return false;
  }

  const auto layout = layOutMenuBar(state);
  const BarSlot* dragged = slot.kind == BarSlot::Kind::Extra ? findSlot(layout, slot.extra)
                                                             : findOwnSlot(layout, slot.ownItem);
  if (!dragged || dragged->hiddenByAssertion) return false;

  // Slots on the bar other than the dragged one, right to left, and how many of them stay right
  // of it.
  std::vector<const BarSlot*> others;
  for (const auto& s : layout)
    if (!s.hiddenByAssertion && !(keyOf(s) == keyOf(slot))) others.push_back(&s);
  std::size_t fixedAtRight = 0;
  for (const auto* s : others) {
    const bool fixed = s->kind == BarSlot::Kind::Extra && state.extras.at(s->extra).extra.fixed;
    if (!fixed) break;
    ++fixedAtRight;
  }
  std::size_t keepRight = 0;
  while (keepRight < others.size() && others[keepRight]->frame.midX() > toX)
    ++keepRight;
  keepRight = std::max(keepRight, fixedAtRight);

  auto order = placementOrder(state);
  const auto moving = keyOf(slot);
  std::erase(order, moving);
  std::size_t insertAt = 0;
  if (keepRight > 0) {
    const auto anchor = keyOf(*others[keepRight - 1]);
    insertAt =
        static_cast<std::size_t>(std::find(order.begin(), order.end(), anchor) - order.begin()) + 1;
  }
  order.insert(order.begin() + static_cast<std::ptrdiff_t>(insertAt), moving);

  double position = 1;
  for (const auto& placed : order) {
    if (placed.kind == BarSlot::Kind::Extra) {
      state.extras[placed.id].extra.position = position;
    } else {
      auto& item = state.ownItems[placed.id];
      item.position = position;
      if (!item.autosaveName.empty())
        state.world.statusItemPlacements[item.autosaveName] = position;
    }
    position += 1;
  }
  return true;
}

}  // namespace tucklet::sim
