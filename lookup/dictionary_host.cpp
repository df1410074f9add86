#include "lookup/dictionary_host.h"

#include <cstdlib>

#ifndef QUORVO_DICT_HOST_DEFAULT
#error "QUORVO_DICT_HOST_DEFAULT is set by lookup/CMakeLists.txt"
#endif

namespace quorvo {

std::string DictionaryHost() {
  const char* configured = std::getenv(kDictionaryHostVariable);
  if (configured && *configured) return configured;
  return QUORVO_DICT_HOST_DEFAULT;
}

}  // namespace quorvo
