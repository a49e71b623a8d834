#include "inventory/ax_reads.h"

#include "inventory/text.h"

namespace tucklet {

using platform::AXElementRef;
using platform::AXError;
using platform::AXValue;

std::optional<AXValue> readAttribute(const platform::Accessibility& ax, const AXElementRef& element,
                                     const char* attribute) {
  AXValue value;
  if (ax.copyAttributeValue(element, attribute, value) != AXError::Success) return std::nullopt;
  return value;
}

std::string readText(const platform::Accessibility& ax, const AXElementRef& element,
                     const char* attribute) {
  const auto value = readAttribute(ax, element, attribute);
  if (!value || !value->text()) return {};
  return trimmed(*value->text());
}

std::vector<AXElementRef> readChildren(const platform::Accessibility& ax,
                                       const AXElementRef& element) {
  std::vector<AXElementRef> children;
  const auto value = readAttribute(ax, element, "AXChildren");
  if (!value || !value->array()) return children;
  for (const auto& entry : *value->array()) {
    const auto* child = entry.element();
    if (!child || !*child) return {};
    children.push_back(*child);
  }
  return children;
}

std::optional<platform::Rect> readFrame(const platform::Accessibility& ax,
                                        const AXElementRef& element) {
  const auto position = readAttribute(ax, element, "AXPosition");
  const auto* origin = position ? position->point() : nullptr;
  if (!origin) return std::nullopt;
  const auto size = readAttribute(ax, element, "AXSize");
  const auto* extent = size ? size->size() : nullptr;
  if (!extent) return std::nullopt;
  return platform::Rect{origin->x, origin->y, extent->width, extent->height};
}

AXElementRef itemElement(const platform::Accessibility& ax, const AXElementRef& child) {
  for (const auto& grandchild : readChildren(ax, child))
    if (readText(ax, grandchild, "AXRole") == "AXMenuBarItem") return grandchild;
  return child;
}

}  // namespace tucklet
