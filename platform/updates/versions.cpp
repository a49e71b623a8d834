#include "platform/updates/versions.h"

#include <string>
#include <vector>

namespace tucklet::platform::updates {

namespace {

// A run of digits (compared as a number) or of other characters (compared as text). Separators
// (".", "-", "_", "+", spaces) only divide runs.
struct Part {
  bool number = false;
  std::string_view text;
};

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool isSeparator(char c) {
  return c == '.' || c == '-' || c == '_' || c == '+' || c == ' ';
}

std::vector<Part> partsOf(std::string_view version) {
  std::vector<Part> parts;
  std::size_t at = 0;
  while (at < version.size()) {
    if (isSeparator(version[at])) {
      ++at;
      continue;
    }
    const bool number = isDigit(version[at]);
    const auto start = at;
    while (at < version.size() && !isSeparator(version[at]) && isDigit(version[at]) == number)
      ++at;
    parts.push_back({number, version.substr(start, at - start)});
  }
  return parts;
}

// Numbers of any length, without converting them (a build number may not fit any integer).
int compareNumbers(std::string_view a, std::string_view b) {
  while (a.size() > 1 && a.front() == '0')
    a.remove_prefix(1);
  while (b.size() > 1 && b.front() == '0')
    b.remove_prefix(1);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int order = a.compare(b);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

bool isZero(const Part& part) {
  return part.number && part.text.find_first_not_of('0') == std::string_view::npos;
}

// How a version that goes on after the other one ended compares with it: zeros change nothing
// ("2.0.0" is "2"), a further number is newer ("2.0.1"), a word marks a pre-release ("2.0b1").
int compareRemainder(const std::vector<Part>& parts, std::size_t from) {
  for (std::size_t i = from; i < parts.size(); ++i) {
    if (isZero(parts[i])) continue;
    return parts[i].number ? 1 : -1;
  }
  return 0;
}

}  // namespace

int compareVersions(std::string_view a, std::string_view b) {
  const auto left = partsOf(a);
  const auto right = partsOf(b);
  const auto common = std::min(left.size(), right.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto& l = left[i];
    const auto& r = right[i];
    if (l.number && r.number) {
      if (const int order = compareNumbers(l.text, r.text)) return order;
    } else if (l.number != r.number) {
      // "2.0.1" against "2.0b": the release number is newer than the pre-release word.
      return l.number ? 1 : -1;
    } else if (const int order = l.text.compare(r.text)) {
      return order < 0 ? -1 : 1;
    }
  }
  if (left.size() > common) return compareRemainder(left, common);
  if (right.size() > common) return -compareRemainder(right, common);
  return 0;
}

}  // namespace tucklet::platform::updates
