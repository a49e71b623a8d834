// The defaults file reader: binary and XML property lists. Any bytes read as a value or as
// nothing within the reader's limits; a value read writes out as a binary list that reads again,
// and from then on writing and reading keeps the value as it is. (Bytes are not compared: libplist
// shares equal data objects only when their addresses happen to meet in its table.)
#include <cmath>
#include <cstring>

#include "platform/host/plist_file.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

using tucklet::platform::PlistValue;

bool sameNumber(double x, double y) {
  return (std::isnan(x) && std::isnan(y)) || std::memcmp(&x, &y, sizeof x) == 0;
}

// Equality with every NaN equal to itself and reals and dates compared bit for bit (so 0 and -0
// differ).
bool same(const PlistValue& a, const PlistValue& b) {
  if (a.isReal() && b.isReal()) return sameNumber(a.asReal(), b.asReal());
  if (a.isDate() && b.isDate())
    return sameNumber(a.asDate().secondsSinceReferenceDate, b.asDate().secondsSinceReferenceDate);
  if (a.isArray() && b.isArray()) {
    const auto &x = a.asArray(), &y = b.asArray();
    if (x.size() != y.size()) return false;
    for (std::size_t i = 0; i < x.size(); ++i)
      if (!same(x[i], y[i])) return false;
    return true;
  }
  if (a.isDict() && b.isDict()) {
    const auto &x = a.asDict(), &y = b.asDict();
    if (x.size() != y.size()) return false;
    for (auto i = x.begin(), j = y.begin(); i != x.end(); ++i, ++j)
      if (i->first != j->first || !same(i->second, j->second)) return false;
    return true;
  }
  return a == b;
}

}  // namespace

TUCKLET_FUZZ_TARGET(defaults) {
  using namespace tucklet::platform;
  const auto value = parsePropertyList(tucklet::fuzz::text(data, size));
  if (!value) return;
  const auto written = parsePropertyList(binaryPropertyList(*value));
  TUCKLET_FUZZ_CHECK("defaults", written.has_value(),
                     "a value read does not read again once written");
  const auto again = parsePropertyList(binaryPropertyList(*written));
  TUCKLET_FUZZ_CHECK("defaults", again.has_value() && same(*again, *written),
                     "writing and reading again changes the value");
}
