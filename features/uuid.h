// Identifiers of user-made feature records: random (version 4) UUIDs, written as canonical
// upper-case hyphenated text, e.g. "E621E1F8-C36C-495A-93FC-0C247A3E6E5F". Made, written and read
// by libuuid.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tucklet {

class Uuid {
 public:
  using Bytes = std::array<std::uint8_t, 16>;

  // The nil UUID (all zero). Records take `random()` instead.
  constexpr Uuid() = default;
  constexpr explicit Uuid(const Bytes& bytes) : bytes_(bytes) {}

  // A fresh version 4 UUID from the system's random source.
  static Uuid random();
  // Accepts the canonical 8-4-4-4-12 hexadecimal form in either case; anything else is nothing.
  static std::optional<Uuid> parse(std::string_view text);

  // Canonical upper-case hyphenated text.
  std::string text() const;
  const Bytes& bytes() const { return bytes_; }
  bool isNil() const { return bytes_ == Bytes{}; }

  friend auto operator<=>(const Uuid&, const Uuid&) = default;

 private:
  Bytes bytes_{};
};

}  // namespace tucklet
