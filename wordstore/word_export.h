// Writing the rows of a word list out for other programs: a UTF-8 CSV file
// for spreadsheets (Excel reads the byte-order mark as "this is UTF-8"), or
// a tab-separated file that Anki's text import reads as notes.
//
// Rows come in as the list holds them (GBK texts) and go out in UTF-8.
// CSV follows RFC 4180: every field that holds a comma, a double quote, a
// carriage return or a line feed is put between double quotes, its quotes
// doubled, so a reader gets every word and translation back byte for byte.
// The Anki file declares its separator, HTML and tag column in header lines;
// its translation is HTML (line breaks as <br>, "&", "<" and ">" escaped),
// then the word's sentence, its tag column the bank name.
//
// Pure functions of their input; any thread.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace quorvo {

// One exported row, GBK texts.
struct ExportRow {
  std::string word;
  std::string phonetic;
  std::string translation;
  std::string known;  // as the list shows it ("会", "不会", or empty)
  std::string hot;
  std::string sentence;  // the word's first kept sentence, or empty
};

enum class ExportFormat { Csv, AnkiTsv };

// The whole file's bytes.
std::string FormatExport(const std::vector<ExportRow>& rows, ExportFormat format, std::string_view bankGbk);

// Writes FormatExport's bytes to path, replacing the file only once the new
// one is written whole; on failure the file that was there stays as it was,
// and the Status says why (a full disk, a folder that may not be written).
Status WriteExport(const std::string& path, const std::vector<ExportRow>& rows, ExportFormat format,
                   std::string_view bankGbk);

// The format a file name asks for: ".txt" and ".tsv" mean Anki, the rest CSV.
ExportFormat ExportFormatForName(std::string_view fileName);

}  // namespace quorvo
