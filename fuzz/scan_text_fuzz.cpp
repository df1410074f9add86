// Any bytes through the tokenizer and counter: every counted word is 3 to
// 127 lower-case letters, and the counter empties completely. The same bytes
// counted with a sentence keeper fed by the counter give the same counts,
// and no word keeps more than its three sentences.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "wordstore/sentence_keeper.h"
#include "wordstore/word_counter.h"

namespace {

std::map<std::string, int> Count(const uint8_t* data, size_t size, quorvo::SentenceKeeper* keeper) {
  std::vector<char> buffer(data, data + size);
  buffer.push_back('\0');
  quorvo::WordCounter counter;
  counter.SetSentenceKeeper(keeper);
  // The first byte picks how the text is read.
  auto bytes = size > 0 && (data[0] & 1) ? quorvo::WordCounter::Bytes::Utf8 : quorvo::WordCounter::Bytes::Gb18030;
  counter.ScanText(buffer.data(), buffer.size(), bytes);
  counter.SetSentenceKeeper(nullptr);
  size_t total = counter.Size();
  std::map<std::string, int> counts;
  counter.Drain([&](const quorvo::WordCount& entry) {
    std::string_view word(entry.word);
    if (word.size() < 3 || word.size() > 127 || entry.count < 1) __builtin_trap();
    for (char c : word)
      if (c < 'a' || c > 'z') __builtin_trap();
    counts.emplace(word, entry.count);
  });
  if (counts.size() != total || counter.Size() != 0) __builtin_trap();
  return counts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::map<std::string, int> plain = Count(data, size, nullptr);
  quorvo::SentenceKeeper keeper;
  keeper.BeginText("fuzz");
  std::map<std::string, int> kept = Count(data, size, &keeper);
  keeper.EndText();
  if (kept != plain) __builtin_trap();
  keeper.ForEach([](const std::string&, const std::vector<const quorvo::KeptSentence*>& sentences) {
    if (sentences.size() > static_cast<size_t>(quorvo::kSentencesPerWord)) __builtin_trap();
  });
  return 0;
}
