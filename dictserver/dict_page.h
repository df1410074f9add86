// The HTTP side of quorvo-dictd without any socket: checking a received
// request head, reading the word out of its target, and the answer's bytes.
//
// quorvo reads the answer in receive chunks of at most 512 bytes, starts
// keeping chunks at the first one that holds the start marker, keeps at most
// 3071 bytes and sees a marker only inside one chunk. So an answer is short
// (kMaxAnswerBytes), its first start marker ends within its first 512 bytes,
// and each part of the translation stands as
//   <li><div class="blue12other">HEAD</div> SENSES<br></li>
// (the last part ends in </li> alone) before the end marker id="listtrans".
// A word with a phonetic has it between the last part and the end marker:
//   <span class="phonetic">/ˈæp.əl/</span>
// (UTF-8; no element at all for a word without one).
// The lookup engine cuts "HEAD SENSES" out of every part, with a line feed
// after each part that is followed by "<b".
//
// Every function here is pure and may be called from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dictserver/dictionary.h"

namespace quorvo::dictd {

inline constexpr std::string_view kSearchPath = "/m/search";
inline constexpr std::string_view kStartMarker = "blue12other\">";
inline constexpr std::string_view kEndMarker = "id=\"listtrans\"";
inline constexpr std::string_view kPhoneticStart = "<span class=\"phonetic\">";
inline constexpr std::string_view kPhoneticEnd = "</span>";
// A request line or header line longer than this is refused.
inline constexpr size_t kMaxLineBytes = 2048;
// So is a request head longer than this.
inline constexpr size_t kMaxHeadBytes = 8192;
// Every answer fits well inside the 3071 bytes quorvo keeps.
inline constexpr size_t kMaxAnswerBytes = 2600;
// The first start marker ends within the first receive chunk.
inline constexpr size_t kFirstChunkBytes = 512;

enum class HeadState {
  Incomplete,  // no blank line yet, and nothing too long
  Complete,    // the head ends within the bytes received
  TooLong,     // a line or the whole head is over its limit
};

// Examines the bytes received so far. Lines end in CR LF or LF alone.
HeadState CheckRequestHead(std::string_view received, size_t* headBytes = nullptr);

struct Answer {
  int status = 0;
  std::string bytes;    // status line, headers and page
  std::string logNote;  // what the log line says about it: the word and its headword
};

// The whole answer to one request head (the bytes up to and including the
// blank line): 200 with the translation page, 404 with a page without
// markers for a word the data does not know (or a path other than the
// search), 400 for a malformed request or a missing or badly encoded q, 405
// for a method other than GET.
Answer AnswerRequest(const Dictionary& dictionary, std::string_view head);

// An answer with a short text page, for the server's own refusals (408, 503).
Answer PlainAnswer(int status, std::string_view text);

// The value of the first q parameter of a request target, percent-decoded;
// false when there is none, it is empty or its encoding is broken.
bool QueryWord(std::string_view target, std::string* word);

// The translation page of a word: the parts shown for it (Dictionary::PartsFor)
// and its phonetic, "" for none.
std::string TranslationPage(std::string_view word, std::string_view headword, const std::vector<DictPart>& parts,
                            std::string_view phonetic = "");

}  // namespace quorvo::dictd
