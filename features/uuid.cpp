#include "features/uuid.h"

#include <uuid/uuid.h>

namespace tucklet {

Uuid Uuid::random() {
  // libuuid draws the bytes from the kernel's random source (ids must not repeat across
  // processes) and sets the version 4 and variant bits.
  Bytes bytes;
  uuid_generate_random(bytes.data());
  return Uuid(bytes);
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
  // Exactly 36 characters: hexadecimal digits in either case, hyphens at 8, 13, 18 and 23.
  Bytes bytes;
  if (uuid_parse_range(text.data(), text.data() + text.size(), bytes.data()) != 0)
    return std::nullopt;
  return Uuid(bytes);
}

std::string Uuid::text() const {
  char text[UUID_STR_LEN];
  uuid_unparse_upper(bytes_.data(), text);
  return text;
}

}  // namespace tucklet
