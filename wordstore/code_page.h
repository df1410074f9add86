// Conversion between UTF-8 and GBK (code page 936), the code page in which
// every text of the word store is kept.
//
// Characters GBK lacks become "?"; bytes that are not valid input become "?"
// and the conversion goes on. The functions keep no state and may be called
// from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvo {

// Returns nullopt only when the converter itself cannot be made.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);
std::optional<std::string> GbkToUtf8(std::string_view gbk);

// The GBK bytes of a fixed UTF-8 text of this program (messages, labels).
std::string Gbk(std::string_view utf8);
// The UTF-8 text of GBK bytes, for the windows and diagnostic lines.
std::string Utf8(std::string_view gbk);

// Cuts a GBK text to at most maxBytes bytes without splitting a double-byte
// character.
std::string TruncateGbk(std::string_view gbk, size_t maxBytes);

}  // namespace quorvo
