// How quorvo reads a dictionary answer and cuts the translation out of it,
// written down here from the lookup engine's rules so that the service's
// pages can be checked byte by byte: receive chunks of at most 512 bytes,
// keep them from the first one holding the start marker through the one
// holding the end marker, at most 3071 bytes in all, markers seen only inside
// one chunk; then cut "head body" out of every part.
#pragma once

#include <string>
#include <vector>

namespace quorvo::dictd::testing {

// The answer split as a reader with a 512-byte buffer receives it when the
// whole answer is there at once.
std::vector<std::string> SplitIntoChunks(const std::string& answer, size_t size = 512);

// The page text kept from the chunks.
std::string KeepChunks(const std::vector<std::string>& chunks);

// The translation cut out of the page text (at most 1023 bytes).
std::string CutTranslation(const std::string& page);

// Sends quorvo's request for the word to 127.0.0.1:port, receives as quorvo
// does and returns the translation cut out of what was kept.
std::string ReadLikeProgram(int port, const std::string& word);

}  // namespace quorvo::dictd::testing
