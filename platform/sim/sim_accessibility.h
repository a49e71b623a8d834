// The Accessibility service of the simulated desktop: trust, element handles, attribute reads,
// hit tests, actions and observers, each message paying the target process's latency (or its
// messaging time-out when the process hangs or is too slow).
#pragma once

#include <memory>

#include "platform/accessibility.h"
#include "platform/sim/sim_core.h"

namespace tucklet::sim {

class SimAccessibility final : public platform::Accessibility {
 public:
  explicit SimAccessibility(std::weak_ptr<SimCore> core) : core_(std::move(core)) {}

  bool isProcessTrusted() const override;
  platform::AXElementRef applicationElement(pid_t pid) const override;
  platform::AXElementRef systemWideElement() const override;
  platform::AXError setMessagingTimeout(const platform::AXElementRef& element,
                                        double seconds) const override;
  platform::AXError copyAttributeValue(const platform::AXElementRef& element,
                                       const std::string& attribute,
                                       platform::AXValue& value) const override;
  platform::AXError isAttributeSettable(const platform::AXElementRef& element,
                                        const std::string& attribute,
                                        bool& settable) const override;
  platform::AXError pid(const platform::AXElementRef& element, pid_t& pid) const override;
  platform::AXError elementAtPosition(const platform::AXElementRef& root, double x, double y,
                                      platform::AXElementRef& element) const override;
  platform::AXError performAction(const platform::AXElementRef& element,
                                  const std::string& action) const override;
  std::unique_ptr<platform::AXObserver> createObserver(
      pid_t pid, platform::AXObserverCallback callback) override;

 private:
  std::weak_ptr<SimCore> core_;
};

}  // namespace tucklet::sim
