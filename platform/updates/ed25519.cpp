#include "platform/updates/ed25519.h"

#include <vector>

#include <sodium.h>

namespace tucklet::platform::updates {

namespace {

// The bytes of standard Base64 text, only when all of it decodes (no white space, padding as
// required).
std::optional<std::vector<unsigned char>> decodeBase64(std::string_view text,
                                                       std::size_t maximumBytes) {
  if (sodium_init() < 0) return std::nullopt;
  std::vector<unsigned char> bytes(maximumBytes);
  std::size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length,
                        &end, sodium_base64_VARIANT_ORIGINAL) != 0)
    return std::nullopt;
  if (end != text.data() + text.size()) return std::nullopt;
  bytes.resize(length);
  return bytes;
}

}  // namespace

std::optional<PublicKey> decodePublicKey(std::string_view base64) {
  // Room for one byte more than a key, so that a longer text fails on its length, not silently.
  const auto bytes = decodeBase64(base64, crypto_sign_PUBLICKEYBYTES + 1);
  if (!bytes || bytes->size() != crypto_sign_PUBLICKEYBYTES) return std::nullopt;
  PublicKey key{};
  std::copy(bytes->begin(), bytes->end(), key.begin());
  return key;
}

bool verifySignature(std::string_view data, std::string_view signatureBase64,
                     const PublicKey& key) {
  const auto signature = decodeBase64(signatureBase64, crypto_sign_BYTES + 1);
  if (!signature || signature->size() != crypto_sign_BYTES) return false;
  return crypto_sign_verify_detached(signature->data(),
                                     reinterpret_cast<const unsigned char*>(data.data()),
                                     data.size(), key.data()) == 0;
}

}  // namespace tucklet::platform::updates
