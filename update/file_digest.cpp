#include "update/file_digest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "base/file_util.h"

namespace quorvo {

std::optional<FileDigest> DigestOfFile(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return std::nullopt;
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;

  FileDigest digest;
  char buffer[64 * 1024];  // large pieces: digests of big files run at disk speed
  for (;;) {
    ssize_t n = read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    if (EVP_DigestUpdate(context.get(), buffer, static_cast<size_t>(n)) != 1) return std::nullopt;
    digest.size += n;
  }
  unsigned char value[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), value, &length) != 1) return std::nullopt;
  static constexpr char kHex[] = "0123456789abcdef";
  for (unsigned int i = 0; i < length; ++i) {
    digest.sha256.push_back(kHex[value[i] >> 4]);
    digest.sha256.push_back(kHex[value[i] & 15]);
  }
  return digest;
}

}  // namespace quorvo
