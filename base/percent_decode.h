// Percent-decoding of URL texts ("%41" -> "A"). Used for the file names of
// update URLs and for the query of the dictionary service's requests. No
// state; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvo {

struct PercentDecoding {
  // A "%" not followed by two hex digits: kept as it is (lenient), or the
  // whole text is refused (strict).
  bool strict = false;
  // "+" stands for a blank, as in a form-encoded query.
  bool plusIsBlank = false;
};

// The decoded text; nullopt only when strict and an escape is malformed.
std::optional<std::string> PercentDecode(std::string_view text, PercentDecoding how = {});

}  // namespace quorvo
