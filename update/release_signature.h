// Ed25519 signatures of released manifests: the release key pair, signing
// (the publisher's tool) and checking (quorvo and renova). Keys and
// signatures travel as standard base64 text on one line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvo {

inline constexpr size_t kEd25519KeyBytes = 32;
inline constexpr size_t kEd25519SignatureBytes = 64;

std::string Base64Encode(std::string_view bytes);
// Decodes standard base64 (padding required, blanks and line ends around it
// ignored); nullopt for anything else.
std::optional<std::string> Base64Decode(std::string_view text);

struct ReleaseKeyPair {
  std::string secret;     // the 32-byte private seed
  std::string publicKey;  // the 32-byte public key
};

// A fresh key pair from the system's random source; nullopt on failure.
std::optional<ReleaseKeyPair> GenerateReleaseKeyPair();
// The 64-byte signature of message; nullopt when the secret is unusable.
std::optional<std::string> SignRelease(const std::string& secret, std::string_view message);
// True only when signature (64 raw bytes) is publicKey's (32 raw bytes)
// signature of exactly these bytes.
bool VerifyRelease(const std::string& publicKey, std::string_view message, std::string_view signature);

// The lowercase hexadecimal SHA-256 of bytes in memory.
std::string Sha256HexOf(std::string_view bytes);

}  // namespace quorvo
