// The user defaults service: a registration domain (values reported for keys the user never
// set) over the persistent domain of one bundle identifier.
//
// Typed reads follow the platform's conversions: a Bool read of a number is "non-zero", of the
// texts "YES"/"true"/"1" (any case) is true; a Double read of a Bool or number converts and of text
// parses; anything else reads as false / 0 / nothing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/plist_value.h"

namespace tucklet::platform {

class UserDefaults {
 public:
  virtual ~UserDefaults() = default;

  // Merges `values` into the registration domain (not persisted).
  virtual void registerDefaults(const PlistDict& values) = 0;
  // The value of the persistent domain, else of the registration domain, else nothing.
  virtual std::optional<PlistValue> objectForKey(const std::string& key) const = 0;
  // Writes a value into the persistent domain (persisted before the call returns).
  virtual void setObject(const std::string& key, const PlistValue& value) = 0;
  virtual void removeObject(const std::string& key) = 0;

  bool boolForKey(const std::string& key) const;
  double doubleForKey(const std::string& key) const;
  std::int64_t integerForKey(const std::string& key) const;
  // Text values; numbers are reported as their decimal text, anything else as nothing.
  std::optional<std::string> stringForKey(const std::string& key) const;
  // An array whose elements are all texts; anything else is nothing.
  std::optional<std::vector<std::string>> stringArrayForKey(const std::string& key) const;
  std::optional<PlistArray> arrayForKey(const std::string& key) const;
  std::optional<PlistData> dataForKey(const std::string& key) const;
};

// A defaults object that lives in memory only (tests, throw-away runs).
class MemoryUserDefaults final : public UserDefaults {
 public:
  MemoryUserDefaults() = default;
  explicit MemoryUserDefaults(PlistDict persistent) : persistent_(std::move(persistent)) {}

  void registerDefaults(const PlistDict& values) override;
  std::optional<PlistValue> objectForKey(const std::string& key) const override;
  void setObject(const std::string& key, const PlistValue& value) override;
  void removeObject(const std::string& key) override;

  const PlistDict& persistentDomain() const { return persistent_; }
  const PlistDict& registrationDomain() const { return registration_; }
  // Number of writes (set or remove) since creation.
  std::size_t writeCount() const { return writes_; }

 private:
  PlistDict registration_;
  PlistDict persistent_;
  std::size_t writes_ = 0;
};

}  // namespace tucklet::platform
