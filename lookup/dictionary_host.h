// DictionaryHost: where the lookups find the dictionary, as "host[:port]".
//
// A configured host is used as given: the environment variable
// QUORVO_DICT_HOST at run time (people who run their own dictionary mirror,
// tests), else the build's setting (the CMake cache variable
// QUORVO_DICT_HOST). With neither, the default, quorvo asks only its own
// quorvo-dictd, which listens on a port the kernel picked and reports it to
// quorvo (dictserver/dictd_launcher.h); the launcher records that address
// here. Nothing that merely answers at a fixed port is asked.
//
// Threads: any, as long as nobody changes the environment meanwhile.
#pragma once

#include <string>

namespace quorvo {

inline constexpr char kDictionaryHostVariable[] = "QUORVO_DICT_HOST";

// The configured host (environment, else build setting); empty when quorvo
// is to use its own service.
std::string ConfiguredDictionaryHost();

// The host the lookups ask: the configured one, else the own service's
// (empty until it has reported its port).
std::string DictionaryHost();

// Records the own service's "127.0.0.1:port" (empty: none runs).
void SetPrivateDictionaryHost(std::string host);

}  // namespace quorvo
