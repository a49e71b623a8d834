// One menu bar item of another process, as the Accessibility scanner finds it, and what the rest
// of the interface derives from it: its system control, the names, help text and symbol shown for
// it, and the two list orders.
//
// The owner bundle of an item is the bundle identifier of the running application with the item's
// pid, looked up at the moment of the call (empty when the process or its identifier is gone), so
// the derived values take the workspace.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

#include "inventory/system_control.h"
#include "inventory/text.h"
#include "platform/accessibility.h"
#include "platform/geometry.h"
#include "platform/image.h"
#include "platform/workspace.h"

namespace tucklet {

struct BarItem {
  std::string id;                  // identity within one scan (owner part ":" item part [":" n])
  std::string name;                // the item's own title, or a fallback
  std::string appName;             // owning application's localized name, or "Application"
  std::string identifier;          // "AXIdentifier", trimmed; empty when it has none
  platform::AXElementRef element;  // what is pressed to open the item
  platform::Rect frame;            // Accessibility coordinates (top-left origin, y down)
  platform::ImageRef icon;
  pid_t pid = 0;
};

// Items owned by these processes are the system's own.
inline constexpr std::array<std::string_view, 3> systemOwnerBundles = {
    "com.apple.MenuBarAgent", "com.apple.controlcenter", "com.apple.systemuiserver"};

inline constexpr std::string_view textInputMenuAgentBundle = "com.apple.TextInputMenuAgent";

bool isSystemOwnerBundle(std::string_view bundleIdentifier);

// Name for an item that reports no title, by its Accessibility identifier.
std::optional<std::string_view> menuExtraName(std::string_view identifier);

// Bundle identifier of the running application with the item's pid; empty when gone.
std::string ownerBundle(const BarItem& item, const platform::Workspace& workspace);

// Battery or clock by identifier and name; never any other control.
std::optional<SystemControl> protectedControl(std::string_view identifier, std::string_view name);

std::optional<SystemControl> systemControl(const BarItem& item,
                                           const platform::Workspace& workspace);
std::string displayName(const BarItem& item, const platform::Workspace& workspace);
std::optional<std::string> symbolName(const BarItem& item, const platform::Workspace& workspace);
std::optional<std::string> detailName(const BarItem& item, const platform::Workspace& workspace);
std::optional<std::string> helpText(const BarItem& item, const platform::Workspace& workspace);

// Left to right by the frame's minimum x (stable: equal x keeps the incoming order).
void sortLeftToRight(std::vector<BarItem>& items);
// By display name in the Finder's order under the given locale, the user's by default.
void sortAlphabetically(std::vector<BarItem>& items, const platform::Workspace& workspace,
                        const Collation& collation = Collation::user());

// Item identities within one scan: the owner part (bundle identifier, else the decimal pid), ":",
// then the trimmed identifier or "index-" + the item's position among its owner's items.
std::string baseItemID(const std::optional<std::string>& ownerBundleIdentifier, pid_t pid,
                       std::string_view trimmedIdentifier, std::size_t position);
// Makes identities unique in discovery order: repeats get ":1", ":2", ..., counting on past any
// identity another item of the scan has.
void makeIdentitiesUnique(std::vector<BarItem>& items);

}  // namespace tucklet
