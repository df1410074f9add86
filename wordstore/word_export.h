// Writing the rows of a word list out for other programs: a UTF-8 CSV file
// for spreadsheets (Excel reads the byte-order mark as "this is UTF-8"), or
// a tab-separated file that Anki's text import reads as notes.
//
// Rows come in as the list holds them (GBK texts) and go out in UTF-8.
// CSV follows RFC 4180: every field that holds a comma, a double quote, a
// carriage return or a line feed is put between double quotes, its quotes
// doubled, so a reader gets every word and translation back byte for byte.
// A cell that a spreadsheet would run as a formula gets a leading "'".
// The Anki file declares its separator, HTML, note type (Basic), deck (the
// bank), column names and tag column in header lines, so that Anki's own
// defaults put the word on the front and the translation on the back; its
// fields are HTML (line breaks as <br>, "&", "<", ">", '"', tab escaped, a
// leading "#" as "&#35;"), its tag column the bank name as one tag, and the
// phonetic, the word's sentence and a family row's forms seen follow in
// columns of their own. New columns go at the end, so that a reader of an
// older export finds every column where it was.
//
// Pure functions of their input; any thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "wordstore/word_database.h"

namespace quorvo {

// One exported row, GBK texts.
struct ExportRow {
  std::string word;
  std::string phonetic;
  std::string translation;
  std::string known;  // as the list shows it ("会", "不会", or empty)
  std::string hot;
  std::string sentence;  // the word's first kept sentence, or empty
  std::string forms;     // a family row's forms seen as the word list's tooltip lists them (FormsText), or empty
};

// The text of a row's 例句 field (UTF-8): every export that carries an
// example sentence takes it from here.
std::string ExportSentence(const ExportRow& row);
// The text of a row's 词形 field (UTF-8), likewise.
std::string ExportForms(const ExportRow& row);

enum class ExportFormat { Csv, AnkiTsv, AnkiPackage };

// Which rows of a bank the command line's export takes.
struct ExportFilter {
  std::optional<bool> known;      // only the known (true) or the not known (false) words
  std::optional<int64_t> minHot;  // only words with at least this hot value
};

// The rows of bank, in the order the word list shows them, as the list
// shows them: known as "会" (any value but 0, as the list reads it) or
// "不会", hot as its text. The window thread, or the only thread there is.
Result<std::vector<ExportRow>> ReadExportRows(WordDatabase& db, std::string_view bank, const ExportFilter& filter = {});

// The header lines of the Anki file, around the deck name.
inline constexpr char kAnkiTextHeaderStart[] = "#separator:tab\n#html:true\n#notetype:Basic\n#deck:";
inline constexpr char kAnkiTextHeaderEnd[] =
    "\n#columns:Front\tBack\tTags\t\xE9\x9F\xB3\xE6\xA0\x87\t\xE4\xBE\x8B\xE5\x8F\xA5\t\xE8\xAF\x8D\xE5\xBD\xA2\n#tags "
    "column:3\n";

// A text (UTF-8) as an Anki field's HTML: line breaks as <br>; "&", "<",
// ">", '"' and tab as character references.
std::string AnkiHtml(std::string_view utf8);
// A stored text (GBK) in UTF-8.
std::string ExportUtf8(std::string_view gbk);

// The bank name (UTF-8) as one Anki tag: every Unicode space and '"' as "_".
std::string AnkiTag(std::string_view utf8);
// The bank name (UTF-8) as a deck name on one line.
std::string AnkiDeckName(std::string_view utf8);

// The whole file's bytes.
std::string FormatExport(const std::vector<ExportRow>& rows, ExportFormat format, std::string_view bankGbk);

// Writes FormatExport's bytes to path, replacing the file only once the new
// one is written whole; on failure the file that was there stays as it was,
// and the Status says why (a full disk, a folder that may not be written).
Status WriteExport(const std::string& path, const std::vector<ExportRow>& rows, ExportFormat format,
                   std::string_view bankGbk);

// The format a file name asks for: ".txt" and ".tsv" mean the Anki text
// file, ".apkg" an Anki package, the rest CSV.
ExportFormat ExportFormatForName(std::string_view fileName);

}  // namespace quorvo
