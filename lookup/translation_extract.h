// ExtractTranslation: cuts the translation out of a dictionary page.
//
// Every part of the translation starts with the start marker before the
// page's first end marker: its head runs from after the marker to the next
// "<"; the 6 characters from that "<" on are skipped; its body runs to the
// next "<" with runs of blanks folded into one and the text from a line
// break on dropped; a "<b" after the body adds a line feed. Pure: reads only
// the page text, never past its end, and writes at most 1023 characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvo {

// The translation buffer holds 1023 characters and its terminating NUL.
inline constexpr size_t kMaxTranslationChars = 1023;

// Replaces *translation with what is cut out of page (taken up to its first
// NUL byte); true when at least one part was cut out.
bool ExtractTranslation(std::string_view page, std::string* translation);

}  // namespace quorvo
