// Arbitrary chunk sequences through the receive loop's decisions: the page
// text never overruns its buffer and stays zero-terminated.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "lookup/page_fetch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char page[quorvo::kPageBufferBytes] = {};
  quorvo::PageCollector state(page);
  // Each chunk: one length byte (cut to 512), then that many bytes.
  size_t at = 0;
  while (at < size) {
    size_t length = data[at++] * 2 + 1;
    if (length > quorvo::kChunkBytes) length = quorvo::kChunkBytes;
    if (length > size - at) length = size - at;
    std::string_view chunk(reinterpret_cast<const char*>(data + at), length);
    at += length;
    quorvo::ChunkDecision decision = quorvo::HandleChunk(state, chunk);
    if (state.length >= quorvo::kPageBufferBytes || page[state.length] != '\0' || std::strlen(page) != state.length)
      __builtin_trap();
    if (decision == quorvo::ChunkDecision::Stop) break;
  }
  return 0;
}
