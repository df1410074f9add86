// Any URL through the page fetch's URL splitting and request building: the
// parts and the request always fit their 512-byte buffers.
#include <cstdint>
#include <string>
#include <string_view>

#include "lookup/page_fetch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view url(reinterpret_cast<const char*>(data), size);
  quorvo::UrlParts parts = quorvo::SplitUrl(url);
  if (parts.host.size() > 511 || parts.target.size() > 511) __builtin_trap();
  std::string request = quorvo::BuildPageRequest(parts.host, parts.target);
  if (request.size() > 511) __builtin_trap();
  std::string name;
  int port = 0;
  if (quorvo::SplitHostPort(parts.host, &name, &port) && (port < 1 || port > 65535)) __builtin_trap();
  return 0;
}
