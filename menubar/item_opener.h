// Opening a hidden item: the state of an item whose own menu Tucklet opened (`activeItem`, the
// windows it watches, the poll timer, the observer and the event monitor) and the latency marks
// measured from the user's choice.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "inventory/bar_item.h"
#include "platform/platform.h"

namespace tucklet::testing {
struct OpeningProbe;
}

namespace tucklet {

class VisibilityEngine;

class ItemOpener {
 public:
  ItemOpener(platform::Platform& platform, VisibilityEngine& engine)
      : platform_(platform), engine_(engine) {}
  ItemOpener(const ItemOpener&) = delete;
  ItemOpener& operator=(const ItemOpener&) = delete;

  // The item whose menu is open; nothing while no opening is in progress.
  const std::optional<BarItem>& activeItem() const { return activeItem_; }
  const std::map<std::string, double>& latency() const { return latency_; }

  // Tears an opening down without hiding anything again; a collapse that waited for the opening
  // may run.
  void endOpening();
  // Stores a latency mark: milliseconds since the user's choice, and the uptime now.
  void recordLatency(const std::string& mark);

 private:
  friend struct testing::OpeningProbe;

  platform::Platform& platform_;
  VisibilityEngine& engine_;
  std::optional<BarItem> activeItem_;
  std::set<platform::WindowNumber> activeWindowIDs_;
  std::set<platform::WindowNumber> windowsBeforeOpen_;
  platform::TimerRef menuTimer_;
  std::unique_ptr<platform::AXObserver> menuObserver_;
  std::unique_ptr<platform::EventMonitor> globalMonitor_;
  double interactionBegan_ = 0;  // system uptime of the user's choice
  std::map<std::string, double> latency_;
};

}  // namespace tucklet
