// The appcast feed parser: any bytes give releases or a reason; every release kept has a version
// and an archive address.
#include <variant>

#include "platform/updates/appcast.h"
#include "tests/fuzz/fuzz_target.h"

TUCKLET_FUZZ_TARGET(appcast) {
  const auto result = tucklet::platform::updates::parseAppcast(tucklet::fuzz::text(data, size));
  if (const auto* reason = std::get_if<std::string>(&result)) {
    TUCKLET_FUZZ_CHECK("appcast", !reason->empty(), "a refused feed without a reason");
    return;
  }
  for (const auto& item : std::get<tucklet::platform::updates::Appcast>(result).items) {
    TUCKLET_FUZZ_CHECK("appcast", !item.versionString.empty() && !item.fileURL.empty(),
                       "a release without a version or an archive");
  }
}
