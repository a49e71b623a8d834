// The status bar and screens services of the simulated desktop: this process's status items,
// laid out in the bar with everyone else's.
#pragma once

#include <memory>

#include "platform/sim/sim_core.h"
#include "platform/status_bar.h"

namespace tucklet::sim {

class SimStatusBar final : public platform::StatusBar {
 public:
  explicit SimStatusBar(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}
  platform::StatusItemRef createStatusItem(double length) override;
  void removeStatusItem(const platform::StatusItemRef& item) override;
  double thickness() const override;

 private:
  std::weak_ptr<SimCore> core_;
};

class SimScreens final : public platform::Screens {
 public:
  explicit SimScreens(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}
  std::vector<platform::Screen> screens() const override;
  platform::Point mouseLocation() const override;

 private:
  std::weak_ptr<SimCore> core_;
};

// The desktop's id of one of this process's status items; 0 for anything else.
std::uint64_t ownItemIdOf(const platform::StatusItemRef& item);

}  // namespace tucklet::sim
