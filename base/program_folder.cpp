#include "base/program_folder.h"

#include <unistd.h>

#include <vector>

namespace quorvo {

std::string ExecutablePath() {
  // The link's target may be longer than any fixed buffer; grow until it fits.
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return "";
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutableFolder() {
  std::string path = ExecutablePath();
  size_t cut = path.rfind('/');
  if (cut == std::string::npos) return "";
  return path.substr(0, cut == 0 ? 1 : cut);
}

}  // namespace quorvo
