// Text helpers for the names the menu bar reports: trimming, case folding, and the Finder-like
// ordering of names (case-insensitive, digit runs compared as numbers: "Item 2" before "Item 10").
// All work on UTF-8 and are deterministic: they do not depend on the process's locale.
#pragma once

#include <string>
#include <string_view>

namespace tucklet {

// Removes leading and trailing white space and line breaks (ASCII and Unicode spaces).
std::string trimmed(std::string_view text);

// Lower-cases letters of the Latin, Greek and Cyrillic alphabets; everything else is kept.
std::string lowercased(std::string_view text);

// Whether `haystack` contains `needle`, ignoring letter case.
bool containsIgnoringCase(std::string_view haystack, std::string_view needle);

// Three-way comparison in the order a Finder list uses: letter case ignored, runs of decimal digits
// compared by numeric value. Names equal under that order fall back to a plain comparison so the
// order is total.
int localizedStandardCompare(std::string_view a, std::string_view b);

}  // namespace tucklet
