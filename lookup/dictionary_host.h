// DictionaryHost: where the lookups find the dictionary, as "host[:port]".
//
// The build's setting (the CMake cache variable QUORVO_DICT_HOST), unless
// the environment variable QUORVO_DICT_HOST names another one at run time
// (people who run their own dictionary mirror, tests).
//
// Threads: any, as long as nobody changes the environment meanwhile.
#pragma once

#include <string>

namespace quorvo {

inline constexpr char kDictionaryHostVariable[] = "QUORVO_DICT_HOST";

std::string DictionaryHost();

}  // namespace quorvo
