// The Accessibility walk that finds every menu bar item other processes show. One scan is
// synchronous and self-contained: it reads the platform only, so it may run on any thread.
#pragma once

#include <string>
#include <vector>

#include "inventory/bar_item.h"
#include "platform/accessibility.h"
#include "platform/workspace.h"

namespace tucklet {

// Every application is queried with this messaging time-out, so that one hung process costs a
// scan no more than this.
inline constexpr double scanMessagingTimeout = 0.15;

// The items of every running application with an ".app" bundle (this process excepted), sorted
// left to right; empty when the process is not trusted for Accessibility.
std::vector<BarItem> scanMenuBarItems(const platform::Accessibility& accessibility,
                                      const platform::Workspace& workspace);

// The icon to show for an item: the icon of the application the item is named after when there is
// one (a helper showing its main application's name), else its owner's icon.
platform::ImageRef iconForItem(const platform::RunningApplication& owner, const std::string& name,
                               const std::vector<platform::RunningApplication>& running,
                               const platform::Workspace& workspace);

}  // namespace tucklet
