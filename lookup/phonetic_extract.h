// ExtractPhonetic: cuts a word's phonetic out of a dictionary page.
//
// The page carries the phonetic (IPA, UTF-8) in one element
// <span class="phonetic">/ˈæp.əl/</span> before the page's first end marker,
// so it lies in the stretch FetchDictionaryPage keeps. A page without that
// element, or whose element is not closed before the end marker, has no
// phonetic. Pure: reads only the page text (up to its first NUL), never past
// its end, and writes at most kMaxPhoneticBytes bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvo {

inline constexpr std::string_view kPhoneticOpen = "<span class=\"phonetic\">";
inline constexpr std::string_view kPhoneticClose = "</span>";
// A phonetic is a short text: an element holding more than this many bytes
// (before conversion) is not taken.
inline constexpr size_t kMaxPhoneticBytes = 120;

// Replaces *phonetic with the element's text, surrounding blanks removed;
// false (and an empty *phonetic) when the page has none, the text is empty
// or too long, or it holds a control character.
bool ExtractPhonetic(std::string_view page, std::string* phonetic);

}  // namespace quorvo
