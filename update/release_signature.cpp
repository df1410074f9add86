#include "update/release_signature.h"

#include <openssl/evp.h>

#include <cctype>
#include <memory>
#include <vector>

namespace quorvo {
namespace {

struct PkeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdCtxDeleter {
  void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
struct PkeyCtxDeleter {
  void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyDeleter>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, MdCtxDeleter>;

const unsigned char* Bytes(std::string_view text) { return reinterpret_cast<const unsigned char*>(text.data()); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::optional<std::string> RawPublicKey(EVP_PKEY* key) {
  std::string raw(kEd25519KeyBytes, '\0');
  size_t length = raw.size();
  if (EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char*>(raw.data()), &length) != 1 ||
      length != kEd25519KeyBytes)
    return std::nullopt;
  return raw;
}

PkeyPtr SecretKey(const std::string& secret) {
  if (secret.size() != kEd25519KeyBytes) return nullptr;
  return PkeyPtr(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, Bytes(secret), secret.size()));
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::vector<unsigned char> out(4 * ((bytes.size() + 2) / 3) + 1);
  int length = EVP_EncodeBlock(out.data(), Bytes(bytes), static_cast<int>(bytes.size()));
  return std::string(reinterpret_cast<char*>(out.data()), length > 0 ? static_cast<size_t>(length) : 0);
}

std::optional<std::string> Base64Decode(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.empty() || text.size() % 4 != 0 || text.size() > (1u << 20)) return std::nullopt;
  for (char c : text)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/' || c == '=')) return std::nullopt;
  size_t padding = text.back() == '=' ? (text[text.size() - 2] == '=' ? 2 : 1) : 0;
  // '=' only as the padding at the end.
  if (text.find('=') < text.size() - padding) return std::nullopt;
  std::vector<unsigned char> out(text.size() / 4 * 3 + 1);
  int length = EVP_DecodeBlock(out.data(), Bytes(text), static_cast<int>(text.size()));
  if (length < 0 || static_cast<size_t>(length) < padding) return std::nullopt;
  return std::string(reinterpret_cast<char*>(out.data()), static_cast<size_t>(length) - padding);
}

std::optional<ReleaseKeyPair> GenerateReleaseKeyPair() {
  std::unique_ptr<EVP_PKEY_CTX, PkeyCtxDeleter> ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
  if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1) return std::nullopt;
  EVP_PKEY* raw = nullptr;
  if (EVP_PKEY_keygen(ctx.get(), &raw) != 1) return std::nullopt;
  PkeyPtr key(raw);
  ReleaseKeyPair pair;
  pair.secret.assign(kEd25519KeyBytes, '\0');
  size_t length = pair.secret.size();
  if (EVP_PKEY_get_raw_private_key(key.get(), reinterpret_cast<unsigned char*>(pair.secret.data()), &length) != 1 ||
      length != kEd25519KeyBytes)
    return std::nullopt;
  std::optional<std::string> publicKey = RawPublicKey(key.get());
  if (!publicKey) return std::nullopt;
  pair.publicKey = *publicKey;
  return pair;
}

std::optional<std::string> SignRelease(const std::string& secret, std::string_view message) {
  PkeyPtr key = SecretKey(secret);
  MdCtxPtr ctx(EVP_MD_CTX_new());
  if (!key || !ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1) return std::nullopt;
  std::string signature(kEd25519SignatureBytes, '\0');
  size_t length = signature.size();
  if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, Bytes(message),
                     message.size()) != 1 ||
      length != kEd25519SignatureBytes)
    return std::nullopt;
  return signature;
}

bool VerifyRelease(const std::string& publicKey, std::string_view message, std::string_view signature) {
  if (publicKey.size() != kEd25519KeyBytes || signature.size() != kEd25519SignatureBytes) return false;
  PkeyPtr key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, Bytes(publicKey), publicKey.size()));
  MdCtxPtr ctx(EVP_MD_CTX_new());
  if (!key || !ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1) return false;
  return EVP_DigestVerify(ctx.get(), Bytes(signature), signature.size(), Bytes(message), message.size()) == 1;
}

std::string Sha256HexOf(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) return "";
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 15]);
  }
  return hex;
}

}  // namespace quorvo
