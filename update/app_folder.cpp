#include "update/app_folder.h"

#include <cstdlib>

#include "base/program_folder.h"

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

std::string AppFolder() { return FolderOfPath(ExecutablePath()); }

std::string UpdateServerBase() {
  const char* fromEnvironment = std::getenv("QUORVO_UPDATE_SERVER");
  std::string base = (fromEnvironment && *fromEnvironment) ? fromEnvironment : QUORVO_UPDATE_SERVER_DEFAULT;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

}  // namespace quorvo
