// Ordering of version strings as release managers write them: "1.10" is newer than "1.9",
// "2.0" equals "2.0.0", and "2.0b1" (a pre-release) is older than "2.0".
#pragma once

#include <string_view>

namespace tucklet::platform::updates {

// Negative when `a` is older than `b`, zero when they name the same version, positive when newer.
int compareVersions(std::string_view a, std::string_view b);

}  // namespace tucklet::platform::updates
