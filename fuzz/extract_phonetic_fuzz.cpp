// Any page text: the cut phonetic is never longer than its bound, holds no
// control character and lies inside the page; the extractor never reads past
// the page.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lookup/phonetic_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy so that AddressSanitizer sees any read past the end.
  std::vector<char> page(data, data + size);
  std::string_view text(page.data(), page.size());
  std::string phonetic;
  bool found = quorvo::ExtractPhonetic(text, &phonetic);
  if (found != !phonetic.empty()) __builtin_trap();
  if (phonetic.size() > quorvo::kMaxPhoneticBytes) __builtin_trap();
  for (char c : phonetic)
    if (static_cast<unsigned char>(c) < 0x20) __builtin_trap();
  if (found && text.find(phonetic) == std::string_view::npos) __builtin_trap();
  return 0;
}
