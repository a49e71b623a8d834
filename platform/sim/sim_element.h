// Accessibility element handles of the simulated desktop: immutable names of interface objects,
// each with its own messaging time-out.
#pragma once

#include <atomic>

#include "platform/accessibility.h"
#include "platform/sim/sim_state.h"

namespace tucklet::sim {

class SimElement final : public platform::AXElement {
 public:
  explicit SimElement(const ElementPath& elementPath) : path(elementPath) {}
  bool sameElement(const platform::AXElement& other) const override;

  const ElementPath path;
  // Seconds; 0 means "the current default", which every new handle starts with.
  mutable std::atomic<double> timeout{0};
};

platform::AXElementRef makeElement(const ElementPath& path);
// The handle behind a reference; nothing for a null reference or a foreign element.
const SimElement* simElement(const platform::AXElementRef& element);

}  // namespace tucklet::sim
