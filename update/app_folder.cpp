#include "update/app_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#ifndef QUORVO_UPDATE_SERVER_DEFAULT
#define QUORVO_UPDATE_SERVER_DEFAULT "http://127.0.0.1:8667"
#endif

namespace quorvo {

std::string FolderOfPath(const std::string& path) {
  std::string folder = path;
  for (char& c : folder)
    if (c == '\\') c = '/';
  size_t cut = folder.rfind('/');
  if (cut == std::string::npos) return "";
  folder.resize(cut);
  return folder;
}

std::string AppFolder() {
  // The link's target may be longer than any fixed buffer; grow until it fits.
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return "";
    if (static_cast<size_t>(n) < buffer.size()) return FolderOfPath(std::string(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
}

std::string UpdateServerBase() {
  const char* fromEnvironment = std::getenv("QUORVO_UPDATE_SERVER");
  std::string base = (fromEnvironment && *fromEnvironment) ? fromEnvironment : QUORVO_UPDATE_SERVER_DEFAULT;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

}  // namespace quorvo
