// Reading other processes' menu bar items through Accessibility: the few reads the scan and the
// item opener share. Each reads the platform only, so it may run on any thread; any error counts as
// no value.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility.h"

namespace tucklet {

std::optional<platform::AXValue> readAttribute(const platform::Accessibility& ax,
                                               const platform::AXElementRef& element,
                                               const char* attribute);
// A text attribute, trimmed of white space at both ends; empty when it is not a readable text.
std::string readText(const platform::Accessibility& ax, const platform::AXElementRef& element,
                     const char* attribute);
// "AXChildren" as a list of elements; a failed read, or an entry that is not an element, is empty.
std::vector<platform::AXElementRef> readChildren(const platform::Accessibility& ax,
                                                 const platform::AXElementRef& element);
// "AXPosition" and "AXSize" together, in Accessibility coordinates.
std::optional<platform::Rect> readFrame(const platform::Accessibility& ax,
                                        const platform::AXElementRef& element);
// The element pressed to open an item of the extras bar: the first grandchild whose trimmed role
// is "AXMenuBarItem", else the child itself.
platform::AXElementRef itemElement(const platform::Accessibility& ax,
                                   const platform::AXElementRef& child);

}  // namespace tucklet
