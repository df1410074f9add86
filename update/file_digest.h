// The SHA-256 digest of a file, for checking downloaded copies against the
// digest a manifest publishes.
#pragma once

#include <optional>
#include <string>

namespace quorvo {

struct FileDigest {
  std::string sha256;  // 64 lowercase hexadecimal digits
  long long size = 0;  // bytes
};

// Reads the file in pieces; nullopt when it cannot be read.
std::optional<FileDigest> DigestOfFile(const std::string& path);

}  // namespace quorvo
