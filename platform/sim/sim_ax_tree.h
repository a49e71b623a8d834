// The Accessibility tree of the simulated desktop: how element paths are formed, which elements
// currently exist, and what their attributes read.
//
// Extras hidden by a visibility assertion, menus that closed and applications that quit take
// their elements with them: such paths no longer exist.
#pragma once

#include <optional>
#include <string>

#include "platform/accessibility.h"
#include "platform/sim/sim_state.h"

namespace tucklet::sim {

ElementPath systemWidePath();
ElementPath applicationPath(const SimState& state, pid_t pid);
ElementPath extrasBarPath(const SimState& state, pid_t pid);
// The element that stands for the item itself (the grandchild in the grandchild structure).
ElementPath extraItemPath(const SimState& state, ExtraId extra);
// The extras bar's child of the item: the container in the grandchild structure, else the item.
ElementPath extraChildPath(const SimState& state, ExtraId extra);
ElementPath ownItemPath(const SimState& state, std::uint64_t ownItem);
ElementPath menuPath(const SimState& state, const ActiveMenu& menu);
ElementPath menuRowPath(const SimState& state, const ActiveMenu& menu, std::size_t row);
ElementPath windowPath(const SimState& state, const WindowEntry& window);
ElementPath appMenuTitlePath(const SimState& state, pid_t pid, std::size_t index);

bool elementExists(const SimState& state, const ElementPath& path);

// Reads one attribute of an existing element.
platform::AXError readAttribute(const SimState& state, const ElementPath& path,
                                const std::string& attribute, platform::AXValue& value);

}  // namespace tucklet::sim
