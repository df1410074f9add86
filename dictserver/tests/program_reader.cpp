#include "dictserver/tests/program_reader.h"

#include "lookup/page_fetch.h"
#include "lookup/translation_extract.h"
#include "lookup/translation_task.h"

namespace quorvo::dictd::testing {

std::string KeptPage(const std::string& answer) {
  char page[kPageBufferBytes] = {};
  PageCollector collector(page);
  for (size_t at = 0; at < answer.size(); at += kChunkBytes) {
    if (HandleChunk(collector, std::string_view(answer).substr(at, kChunkBytes)) == ChunkDecision::Stop) break;
  }
  return std::string(page, collector.length);
}

std::string CutTranslation(const std::string& page) {
  std::string translation;
  ExtractTranslation(page, &translation);
  return translation;
}

std::string ReadLikeProgram(int port, const std::string& word) {
  char page[kPageBufferBytes] = {};
  FetchDictionaryPage(LookupUrl("127.0.0.1:" + std::to_string(port), word), page);
  return CutTranslation(page);
}

}  // namespace quorvo::dictd::testing
