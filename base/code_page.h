// Conversion between UTF-8 and the code page in which every text of the word
// store is kept: GB18030, GBK's superset. Every GBK byte sequence stays as it
// was; characters GBK lacks (the IPA of phonetics: ə æ ʃ ŋ ˈ ...) are kept as
// GB18030 four-byte sequences. The names say "Gbk" because the stored texts
// are GBK wherever GBK can hold them.
//
// Bytes that are not valid input become "?" and the conversion goes on; a
// lone 0x80 read from an older file is the euro sign, as code page 936 wrote
// it. The functions keep no state and may be called
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

// Cuts a stored text to at most maxBytes bytes without splitting a two- or
// four-byte character.
std::string TruncateGbk(std::string_view gbk, size_t maxBytes);

}  // namespace quorvo
