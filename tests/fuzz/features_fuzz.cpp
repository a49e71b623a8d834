// The feature configuration decoder (the "features" value of the defaults): any bytes either
// decode or fail with a path; what decodes encodes again, and that text decodes to the same.
#include <string>

#include "features/feature_codec.h"
#include "tests/fuzz/fuzz_target.h"

TUCKLET_FUZZ_TARGET(features) {
  std::string error;
  const auto decoded = tucklet::decodeFeatureConfiguration(tucklet::fuzz::text(data, size), &error);
  if (!decoded) {
    TUCKLET_FUZZ_CHECK("features", !error.empty(), "a refused configuration without a reason");
    return;
  }
  const auto encoded = tucklet::encodeFeatureConfiguration(*decoded);
  TUCKLET_FUZZ_CHECK("features", encoded.has_value(), "a decoded configuration does not encode");
  const auto again = tucklet::decodeFeatureConfiguration(*encoded, &error);
  TUCKLET_FUZZ_CHECK("features", again.has_value(), "its own encoding does not decode: " + error);
  TUCKLET_FUZZ_CHECK("features", tucklet::encodeFeatureConfiguration(*again) == encoded,
                     "encoding, decoding and encoding again changes the text");
}
