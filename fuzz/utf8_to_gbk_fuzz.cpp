// Any bytes through the UTF-8 to GBK conversion: it always finishes, and
// what it gives converts back without loss of length accounting.
#include <cstdint>
#include <string_view>

#include "base/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  auto gbk = quorvo::Utf8ToGbk(in);
  if (!gbk) __builtin_trap();
  // Every input byte yields at most two output bytes.
  if (gbk->size() > 2 * size) __builtin_trap();
  auto back = quorvo::GbkToUtf8(*gbk);
  if (!back) __builtin_trap();
  return 0;
}
