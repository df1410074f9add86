// Any text as a URL of the update road: DownloadFile's splitting accepts
// only http URLs whose host and path cannot break the request, and the local
// name renova derives from the URL is either refused or a plain file name of
// the folder, before and after percent-decoding.
#include <cstdint>
#include <string>

#include "update/download_file.h"
#include "update/update_run.h"

namespace {

bool HasRequestBreakers(const std::string& text) {
  for (unsigned char c : text)
    if (c <= 0x20 || c == 0x7F) return true;  // blanks, CR, LF, NUL, controls
  return false;
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string url(reinterpret_cast<const char*>(data), size);
  if (std::optional<quorvo::DownloadTarget> target = quorvo::SplitDownloadUrl(url)) {
    if (target->host.empty() || target->port < 1 || target->port > 65535) __builtin_trap();
    if (target->path.empty() || target->path[0] != '/') __builtin_trap();
    if (HasRequestBreakers(target->host) || HasRequestBreakers(target->path)) __builtin_trap();
  }

  std::string name = quorvo::InstalledName(quorvo::LocalNameOfUrl(url));
  if (!quorvo::IsPlainFileName(name)) return 0;
  if (name[0] != '/' || name.find('/', 1) != std::string::npos) __builtin_trap();
  std::string decoded;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] == '%' && i + 2 < name.size() && Hex(name[i + 1]) >= 0 && Hex(name[i + 2]) >= 0) {
      decoded += static_cast<char>(Hex(name[i + 1]) * 16 + Hex(name[i + 2]));
      i += 2;
    } else {
      decoded += name[i];
    }
  }
  for (const std::string& n : {name.substr(1), decoded}) {
    if (n.empty() || n == "." || n == "..") __builtin_trap();
    if (n.find_first_of(std::string("/\\\0", 3)) != std::string::npos) __builtin_trap();
  }
  return 0;
}
