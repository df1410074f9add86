// How quorvo reads a dictionary answer and cuts the translation out of it,
// through the lookup engine's own code: its chunk rule (HandleChunk) and
// ExtractTranslation on an answer in hand, FetchDictionaryPage on a server.
#pragma once

#include <string>

namespace quorvo::dictd::testing {

// The page text quorvo keeps of an answer received in 512-byte chunks, as a
// reader receives it when the whole answer is there at once.
std::string KeptPage(const std::string& answer);

// The translation quorvo cuts out of a page text ("" when none).
std::string CutTranslation(const std::string& page);

// quorvo's request for the word to 127.0.0.1:port, its answer received and
// cut as quorvo does.
std::string ReadLikeProgram(int port, const std::string& word);

}  // namespace quorvo::dictd::testing
