// ScopedDictionaryHost: points the lookups at a test's dictionary (through
// the QUORVO_DICT_HOST variable) for the life of the object, and puts the
// previous setting back. Set it while no lookup runs.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "lookup/dictionary_host.h"

namespace quorvo::testing {

class ScopedDictionaryHost {
 public:
  explicit ScopedDictionaryHost(const std::string& host) {
    if (const char* old = std::getenv(kDictionaryHostVariable)) old_ = old;
    setenv(kDictionaryHostVariable, host.c_str(), 1);
  }
  ~ScopedDictionaryHost() {
    if (old_)
      setenv(kDictionaryHostVariable, old_->c_str(), 1);
    else
      unsetenv(kDictionaryHostVariable);
  }
  ScopedDictionaryHost(const ScopedDictionaryHost&) = delete;
  ScopedDictionaryHost& operator=(const ScopedDictionaryHost&) = delete;

 private:
  std::optional<std::string> old_;
};

}  // namespace quorvo::testing
