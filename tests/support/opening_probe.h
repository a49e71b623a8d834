// Stands in for an item opening in progress, for tests of the parts that must wait for one.
#pragma once

#include "menubar/item_opener.h"

namespace tucklet::testing {

struct OpeningProbe {
  static void beginOpening(ItemOpener& opener, BarItem item) {
    opener.activeItem_ = std::move(item);
  }
};

}  // namespace tucklet::testing
