// The stored JSON form of the feature configuration.
//
// Each record is an object keyed by its field names; UUIDs are canonical text, enumerations their
// raw value text, and an absent `presetID` is left out. Decoding is strict: every other key must be
// present with its type, integers must be whole numbers in range, and one bad value anywhere fails
// the whole configuration, so a half-understood configuration is never used. Keys this version
// does not know are ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "features/feature_configuration.h"

namespace tucklet {

// Compact JSON text; nothing when a value has no JSON form (a non-finite number, text that is not
// UTF-8).
std::optional<std::string> encodeFeatureConfiguration(const FeatureConfiguration& configuration);

// The configuration, or nothing; `error`, when given, then names the first bad value by its path,
// e.g. "rules[0].condition: unknown value \"weekday\"".
std::optional<FeatureConfiguration> decodeFeatureConfiguration(std::string_view json,
                                                               std::string* error = nullptr);

}  // namespace tucklet
