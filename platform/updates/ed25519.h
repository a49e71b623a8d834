// Ed25519 signatures of update archives (libsodium): the public key and the signature travel as
// standard Base64 with padding, as the bundle's "SUPublicEDKey" and an appcast enclosure carry
// them.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace tucklet::platform::updates {

using PublicKey = std::array<unsigned char, 32>;

// Standard Base64 (with padding) of exactly 32 bytes; nothing for anything else.
std::optional<PublicKey> decodePublicKey(std::string_view base64);

// Whether `signatureBase64` (64 bytes of standard Base64) signs `data` under `key`.
bool verifySignature(std::string_view data, std::string_view signatureBase64, const PublicKey& key);

}  // namespace tucklet::platform::updates
