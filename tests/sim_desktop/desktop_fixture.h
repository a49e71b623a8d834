// A simulated desktop on a virtual run loop for tests, with small helpers to read the
// Accessibility tree and find status items in the bar.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/sim/desktop.h"
#include "platform/virtual_run_loop.h"
#include "tests/support/world_builder.h"

namespace tucklet::testing {

using platform::AXElementRef;
using platform::AXError;
using platform::AXValue;
using sim::BarSlot;
using sim::ExtraId;
using sim::Point;
using sim::Rect;

struct AXRead {
  AXError error = AXError::Failure;
  AXValue value;
};

class DesktopTest : public ::testing::Test {
 protected:
  // Starts (or restarts) the desktop on `world`; latency is only counted, not waited for.
  void start(sim::World world) {
    desktop.reset();
    desktop = std::make_unique<sim::SimDesktop>(std::move(world), loop);
    desktop->setLatencyMode(sim::SimDesktop::LatencyMode::Account);
  }

  platform::Accessibility& ax() { return desktop->accessibility(); }

  AXRead read(const AXElementRef& element, const std::string& attribute) {
    AXRead r;
    r.error = ax().copyAttributeValue(element, attribute, r.value);
    return r;
  }

  std::string text(const AXElementRef& element, const std::string& attribute) {
    const auto r = read(element, attribute);
    if (r.error != AXError::Success) return "<" + std::to_string(static_cast<int>(r.error)) + ">";
    return r.value.text() ? *r.value.text() : "<not text>";
  }

  std::vector<AXElementRef> children(const AXElementRef& element) {
    std::vector<AXElementRef> result;
    const auto r = read(element, "AXChildren");
    if (r.error != AXError::Success || !r.value.array()) return result;
    for (const auto& v : *r.value.array())
      if (v.element()) result.push_back(*v.element());
    return result;
  }

  AXElementRef extrasBar(pid_t pid) {
    const auto r = read(ax().applicationElement(pid), "AXExtrasMenuBar");
    return r.error == AXError::Success && r.value.element() ? *r.value.element() : nullptr;
  }

  // The extras bar's children of an application, in order.
  std::vector<AXElementRef> extraChildren(pid_t pid) {
    auto bar = extrasBar(pid);
    return bar ? children(bar) : std::vector<AXElementRef>{};
  }

  const BarSlot* slotOf(const std::vector<BarSlot>& layout, ExtraId extra) {
    for (const auto& slot : layout)
      if (slot.kind == BarSlot::Kind::Extra && slot.extra == extra) return &slot;
    return nullptr;
  }

  BarSlot slot(pid_t pid, const std::string& identifier) {
    const auto id = desktop->findExtra(pid, identifier);
    EXPECT_TRUE(id.has_value()) << identifier;
    const auto layout = desktop->menuBarLayout();
    const auto* s = id ? slotOf(layout, *id) : nullptr;
    return s ? *s : BarSlot{};
  }

  static Point centre(const Rect& r) { return {r.midX(), r.midY()}; }

  // Accessibility coordinates of a screen rectangle's centre on the first screen.
  Point axCentre(const Rect& screenRect) {
    const double top = desktop->world().screens.front().frame.maxY();
    return {screenRect.midX(), top - screenRect.midY()};
  }

  platform::VirtualRunLoop loop;
  std::unique_ptr<sim::SimDesktop> desktop;
};

}  // namespace tucklet::testing
