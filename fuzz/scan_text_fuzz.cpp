// Any bytes through the tokenizer and counter: every counted word is 3 to
// 127 lower-case letters, and the counter empties completely.
#include <cstdint>
#include <vector>

#include "wordstore/word_counter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> buffer(data, data + size);
  buffer.push_back('\0');
  quorvo::WordCounter counter;
  counter.ScanText(buffer.data(), buffer.size());
  size_t total = counter.Size();
  size_t drained = 0;
  counter.Drain([&](const quorvo::WordCount& entry) {
    ++drained;
    std::string_view word(entry.word);
    if (word.size() < 3 || word.size() > 127 || entry.count < 1) __builtin_trap();
    for (char c : word)
      if (c < 'a' || c > 'z') __builtin_trap();
  });
  if (drained != total || counter.Size() != 0) __builtin_trap();
  return 0;
}
