#include "features/uuid.h"

#include <mutex>
#include <random>

namespace tucklet {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Positions of the hyphens in the 36-character text form.
constexpr bool isHyphenPosition(std::size_t i) {
  return i == 8 || i == 13 || i == 18 || i == 23;
}

}  // namespace

Uuid Uuid::random() {
  // std::random_device reads the kernel's entropy source on Linux; ids must not repeat across
  // processes, so a seeded pseudo-random engine would not do.
  static std::mutex mutex;
  static std::random_device device;
  Bytes bytes;
  {
    std::lock_guard lock(mutex);
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
      const auto word = static_cast<std::uint32_t>(device());
      for (std::size_t j = 0; j < 4; ++j)
        bytes[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
    }
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return Uuid(bytes);
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  Bytes bytes{};
  std::size_t byte = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (isHyphenPosition(i)) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    const int high = hexValue(text[i]);
    const int low = hexValue(text[i + 1]);
    if (high < 0 || low < 0 || isHyphenPosition(i + 1)) return std::nullopt;
    bytes[byte++] = static_cast<std::uint8_t>(high * 16 + low);
    i += 2;
  }
  return Uuid(bytes);
}

std::string Uuid::text() const {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(36);
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
    out.push_back(digits[bytes_[i] >> 4]);
    out.push_back(digits[bytes_[i] & 0x0F]);
  }
  return out;
}

}  // namespace tucklet

std::size_t std::hash<tucklet::Uuid>::operator()(const tucklet::Uuid& uuid) const noexcept {
  // FNV-1a over all sixteen bytes.
  std::size_t h = 14695981039346656037ull;
  for (auto b : uuid.bytes()) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return h;
}
