#include "lookup/dictionary_host.h"

#include <cstdlib>
#include <mutex>
#include <utility>

#ifndef QUORVO_DICT_HOST_DEFAULT
#error "QUORVO_DICT_HOST_DEFAULT is set by lookup/CMakeLists.txt"
#endif

namespace quorvo {

namespace {

std::mutex& PrivateHostMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& PrivateHost() {
  static std::string host;  // guarded by PrivateHostMutex()
  return host;
}

}  // namespace

std::string ConfiguredDictionaryHost() {
  const char* configured = std::getenv(kDictionaryHostVariable);
  if (configured && *configured) return configured;
  return QUORVO_DICT_HOST_DEFAULT;
}

std::string DictionaryHost() {
  std::string configured = ConfiguredDictionaryHost();
  if (!configured.empty()) return configured;
  std::lock_guard lock(PrivateHostMutex());
  return PrivateHost();
}

void SetPrivateDictionaryHost(std::string host) {
  std::lock_guard lock(PrivateHostMutex());
  PrivateHost() = std::move(host);
}

}  // namespace quorvo
