// Any page text: the cut translation never exceeds 1023 characters and the
// extractor never reads past the page.
#include <cstdint>
#include <string>
#include <vector>

#include "lookup/translation_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy so that AddressSanitizer sees any read past the end.
  std::vector<char> page(data, data + size);
  std::string translation;
  quorvo::ExtractTranslation(std::string_view(page.data(), page.size()), &translation);
  if (translation.size() > quorvo::kMaxTranslationChars) __builtin_trap();
  return 0;
}
