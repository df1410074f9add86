#include "base/percent_decode.h"

namespace quorvo {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> PercentDecode(std::string_view text, PercentDecoding how) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
      int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
      if (high >= 0 && low >= 0) {
        decoded.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
      if (how.strict) return std::nullopt;
    }
    decoded.push_back(how.plusIsBlank && c == '+' ? ' ' : c);
  }
  return decoded;
}

}  // namespace quorvo
