#include "platform/sim/sim_element.h"

namespace tucklet::sim {

bool SimElement::sameElement(const platform::AXElement& other) const {
  const auto* sim = dynamic_cast<const SimElement*>(&other);
  return sim && sim->path == path;
}

platform::AXElementRef makeElement(const ElementPath& path) {
  return std::make_shared<const SimElement>(path);
}

const SimElement* simElement(const platform::AXElementRef& element) {
  return dynamic_cast<const SimElement*>(element.get());
}

}  // namespace tucklet::sim
