// Bringing a word list into a bank: our own CSV export, a spreadsheet's CSV
// (word; word,translation; with or without a header line), the Anki
// flash-card text file, or a plain list with a word a line.
//
// Reading. The file is at most kMaxImportFileBytes; its encoding is UTF-8
// (with or without a byte-order mark), UTF-16 (with a byte-order mark, or
// recognised by its zero bytes) or else GB18030. A byte sequence that is
// not valid in the encoding, a zero character (a binary file), an open
// quote that never closes, a known or hot cell that is no such value: each
// refuses the whole file with a message naming the line. A word that comes
// again later in the file takes the later row's cells (counted); a cell
// longer than its column keeps (kMaxWordBytes, kMaxPhoneticBytes,
// kMaxTranslationBytes, GBK) is cut there without splitting a character
// (counted); a row with an empty word is skipped (counted). In our own
// export the leading "'" that kept a spreadsheet from running a cell is
// taken off again, so an export read back gives the same cells byte for
// byte.
//
// Writing. WriteImport puts every row in one batch, the bank's creation
// included: a file that cannot be written whole (a full disk, a read-only
// or held file) leaves the bank file as it was. A word the bank has already
// is updated with the cells the file gives (an empty translation or
// phonetic keeps what the bank has).
//
// Pure reading functions may run on any thread; WriteImport on the thread
// that uses the connection for batches (the window thread, or the command
// line's only one).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "wordstore/word_database.h"

namespace quorvo {

// A larger file is refused, the limit named, before it is read.
inline constexpr size_t kMaxImportFileBytes = size_t{64} << 20;
// What a cell keeps, in GBK bytes: a word the page reads back with its 56-byte
// capacity, a phonetic as the lookups store it, a translation as the
// translation buffer holds it.
inline constexpr size_t kMaxWordBytes = 55;
inline constexpr size_t kMaxPhoneticBytes = 255;
inline constexpr size_t kMaxTranslationBytes = 1023;

// One row of the file, GBK. Empty phonetic or translation: not given.
struct ImportedWord {
  std::string word;
  std::string phonetic;
  std::string translation;
  std::optional<std::string> known;  // "1" or "0"; nullopt: not given (or an empty cell)
  std::optional<int64_t> hot;        // nullopt: not given
  int line = 0;                      // where the row starts, from 1
};

struct ImportFile {
  std::vector<ImportedWord> words;  // in the order of each word's first row
  int duplicates = 0;               // rows whose word came again later
  int cut = 0;                      // rows with a cell cut to its column
  int skipped = 0;                  // rows without a word
  // Whether the file has known and hot columns: then an empty cell is an
  // empty value (as our export writes one); otherwise a new word is not
  // known and has hot 1.
  bool knownColumn = false;
  bool hotColumn = false;
};

// The rows of a file's bytes; fileName picks the shape when the content
// does not (".csv" is CSV; otherwise a tab in the first line makes it
// word<TAB>translation, no tab a plain list).
Result<ImportFile> ParseImportText(std::string_view bytes, std::string_view fileName);
// Reads the file (refusing one over the limit) and parses it. The Status's
// message (UTF-8) names the file's problem and, when there is one, the line.
Result<ImportFile> ReadImportFile(const std::string& path);

struct ImportCounts {
  int added = 0;    // new words
  int updated = 0;  // words the bank had
  bool createdBank = false;
  // Words left without a translation (none in the file, none in the bank),
  // to be looked up, with their hot values.
  std::vector<std::pair<std::string, int>> untranslated;
};

// Writes the rows into bank (GBK), creating it when it is missing. A name
// CheckBankName refuses is kRefused with BankNameRefusal's text as message;
// nothing is written then.
Result<ImportCounts> WriteImport(WordDatabase& db, std::string_view bank, const ImportFile& file);

}  // namespace quorvo
