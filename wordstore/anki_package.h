// An Anki deck package (.apkg) of a bank's rows, which Anki opens directly
// (File > Import).
//
// The package is a zip file holding "collection.anki2", an SQLite
// collection of Anki's schema 11 (tables col, notes, cards, revlog, graves),
// and "media", the JSON map of media files (empty: pronunciation stays in
// quorvo). The collection has one note type, "quorvo 单词", with the fields
// 单词, 音标, 释义, 例句, 词库 and 词形 (a family row's forms seen) and two card templates (英译中: the word
// asks for the translation; 中译英: the translation asks for the word, made
// only for notes that have one); one deck named after the bank; each note
// tagged with the bank (every Unicode space as "_").
//
// A note's GUID comes from the bank and the word alone, so importing a
// newer export of the same bank updates its notes instead of adding them
// again; the note type's and the deck's ids come from their names the same
// way.
//
// Pure functions of their input; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "wordstore/word_export.h"

namespace quorvo {

inline constexpr char kAnkiNoteTypeName[] = "quorvo \xE5\x8D\x95\xE8\xAF\x8D";  // "quorvo 单词"

// The GUID of the note for word in bank (both GBK): characters of
// Anki's base-91 alphabet (at most ten), the first 64 bits of a SHA-1 of
// the two.
std::string AnkiNoteGuid(std::string_view bankGbk, std::string_view wordGbk);

// The package's bytes; nowMs (milliseconds since 1970) stamps the
// collection and numbers its notes and cards.
Result<std::string> AnkiPackageBytes(const std::vector<ExportRow>& rows, std::string_view bankGbk, int64_t nowMs);

}  // namespace quorvo
