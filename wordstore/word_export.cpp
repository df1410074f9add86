#include "wordstore/word_export.h"

#include <chrono>
#include <memory>

#include "base/code_page.h"
#include "base/file_util.h"
#include "wordstore/anki_package.h"
#include "wordstore/sql.h"
#include "wordstore/texts.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_forms.h"
#include "wordstore/word_sentences.h"

namespace quorvo {
namespace {

// Plain ASCII (words, numbers) is the same in both code pages.
std::string ToUtf8(std::string_view gbk) {
  for (char c : gbk)
    if (static_cast<unsigned char>(c) >= 0x80) return Utf8(gbk);
  return std::string(gbk);
}

// A spreadsheet runs a cell that starts with "=", "+", "-" or "@" as a
// formula (and one that starts with a tab or a carriage return may be read
// as one after its blank is trimmed): such a text cell is written with a
// leading "'", which spreadsheets show as text. A cell that starts with "'"
// gets one more, so that reading our own file back takes exactly one off.
bool NeedsFormulaGuard(std::string_view utf8) {
  return !utf8.empty() && std::string_view("=+-@\t\r'").find(utf8.front()) != std::string_view::npos;
}

// A number of the known and hot columns stays a number: digits, with a
// leading "-" at most.
bool IsPlainNumber(std::string_view utf8) {
  if (!utf8.empty() && utf8.front() == '-') utf8.remove_prefix(1);
  if (utf8.empty()) return false;
  for (char c : utf8)
    if (c < '0' || c > '9') return false;
  return true;
}

void AppendCsvField(std::string& out, std::string_view utf8, bool numberColumn = false) {
  std::string guarded;
  if (NeedsFormulaGuard(utf8) && !(numberColumn && IsPlainNumber(utf8))) {
    guarded.reserve(utf8.size() + 1);
    guarded.push_back('\'');
    guarded.append(utf8);
    utf8 = guarded;
  }
  if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(utf8);
    return;
  }
  out.push_back('"');
  for (char c : utf8) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

// A field of the Anki file: HTML, one line, no tab. A "#" that starts a
// field would make a first field a comment line, and a '"' a quoted field
// that runs on into the next note: both go out as character references.
void AppendAnkiHtml(std::string& out, std::string_view utf8) {
  for (size_t i = 0; i < utf8.size(); ++i) {
    char c = utf8[i];
    switch (c) {
      case '&':
        out.append("&amp;");
        break;
      case '<':
        out.append("&lt;");
        break;
      case '>':
        out.append("&gt;");
        break;
      case '"':
        out.append("&quot;");
        break;
      case '\t':
        out.append("&#9;");
        break;
      case '\r':
        if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        out.append("<br>");
        break;
      case '\n':
        out.append("<br>");
        break;
      default:
        out.push_back(c);
    }
  }
}

void AppendAnkiField(std::string& out, std::string_view utf8) {
  if (!utf8.empty() && utf8.front() == '#') {
    out.append("&#35;");
    utf8.remove_prefix(1);
  }
  AppendAnkiHtml(out, utf8);
}

// The length of the UTF-8 sequence at text[i] when it is a space of any
// kind (what Anki and Python's str.split take as a separator), else 0.
size_t UnicodeSpaceAt(std::string_view text, size_t i) {
  auto byte = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
  unsigned char c = byte(i);
  if (c == ' ' || (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x1F)) return 1;
  if (c == 0xC2 && (byte(i + 1) == 0x85 || byte(i + 1) == 0xA0)) return 2;  // U+0085, U+00A0
  if (c == 0xE1 && byte(i + 1) == 0x9A && byte(i + 2) == 0x80) return 3;    // U+1680
  if (c == 0xE2 && byte(i + 1) == 0x80) {
    unsigned char d = byte(i + 2);
    if ((d >= 0x80 && d <= 0x8A) || d == 0xA8 || d == 0xA9 || d == 0xAF) return 3;  // U+2000-200A, 2028, 2029, 202F
  }
  if (c == 0xE2 && byte(i + 1) == 0x81 && byte(i + 2) == 0x9F) return 3;  // U+205F
  if (c == 0xE3 && byte(i + 1) == 0x80 && byte(i + 2) == 0x80) return 3;  // U+3000
  return 0;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::string AnkiHtml(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 16);
  AppendAnkiHtml(out, utf8);
  return out;
}

std::string ExportUtf8(std::string_view gbk) { return ToUtf8(gbk); }

std::string ExportSentence(const ExportRow& row) { return ToUtf8(row.sentence); }

std::string ExportForms(const ExportRow& row) { return ToUtf8(row.forms); }

std::string AnkiTag(std::string_view utf8) {
  // Anki separates tags by spaces, and a '"' that starts the column would
  // open a quoted field: each becomes "_", so the bank stays one tag that
  // no reader has to unquote.
  std::string tag;
  tag.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    if (size_t space = UnicodeSpaceAt(utf8, i)) {
      tag.push_back('_');
      i += space;
    } else {
      tag.push_back(utf8[i] == '"' ? '_' : utf8[i]);
      ++i;
    }
  }
  return tag;
}

std::string AnkiDeckName(std::string_view utf8) {
  // A header line ends at its line break: control characters become blanks.
  std::string deck(utf8);
  for (char& c : deck)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return deck;
}

std::string FormatExport(const std::vector<ExportRow>& rows, ExportFormat format, std::string_view bankGbk) {
  std::string out;
  out.reserve(rows.size() * 64 + 64);
  if (format == ExportFormat::Csv) {
    out.append("\xEF\xBB\xBF");
    out.append("word,phonetic,translation,known,hot,sentence,forms\r\n");
    for (const ExportRow& row : rows) {
      AppendCsvField(out, ToUtf8(row.word));
      out.push_back(',');
      AppendCsvField(out, ToUtf8(row.phonetic));
      out.push_back(',');
      AppendCsvField(out, ToUtf8(row.translation));
      out.push_back(',');
      AppendCsvField(out, ToUtf8(row.known), true);
      out.push_back(',');
      AppendCsvField(out, ToUtf8(row.hot), true);
      out.push_back(',');
      AppendCsvField(out, ToUtf8(row.sentence));
      out.push_back(',');
      AppendCsvField(out, ToUtf8(row.forms));
      out.append("\r\n");
    }
    return out;
  }
  const std::string bank = ToUtf8(bankGbk);
  out.append(kAnkiTextHeaderStart);
  out.append(AnkiDeckName(bank));
  out.append(kAnkiTextHeaderEnd);
  std::string tag = AnkiTag(bank);
  for (const ExportRow& row : rows) {
    AppendAnkiField(out, ToUtf8(row.word));
    out.push_back('\t');
    AppendAnkiField(out, ToUtf8(row.translation));
    out.push_back('\t');
    out.append(tag);
    out.push_back('\t');
    AppendAnkiField(out, ToUtf8(row.phonetic));
    out.push_back('\t');
    AppendAnkiField(out, ToUtf8(row.sentence));
    out.push_back('\t');
    AppendAnkiField(out, ToUtf8(row.forms));
    out.push_back('\n');
  }
  return out;
}

Status WriteExport(const std::string& path, const std::vector<ExportRow>& rows, ExportFormat format,
                   std::string_view bankGbk) {
  if (format == ExportFormat::AnkiPackage) {
    auto bytes = AnkiPackageBytes(rows, bankGbk, NowMs());
    if (!bytes.ok()) return bytes.status();
    return ReplaceFileAtomically(path, *bytes, InstallMode(path, 0644));
  }
  // Written beside the target and renamed over it only when whole: a full
  // disk or a failed write leaves an earlier export as it was.
  return ReplaceFileAtomically(path, FormatExport(rows, format, bankGbk), InstallMode(path, 0644));
}

ExportFormat ExportFormatForName(std::string_view fileName) {
  auto endsWith = [fileName](std::string_view suffix) {
    if (fileName.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
      char c = fileName[fileName.size() - suffix.size() + i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != suffix[i]) return false;
    }
    return true;
  };
  if (endsWith(".apkg")) return ExportFormat::AnkiPackage;
  return endsWith(".txt") || endsWith(".tsv") ? ExportFormat::AnkiTsv : ExportFormat::Csv;
}

Result<std::vector<ExportRow>> ReadExportRows(WordDatabase& db, std::string_view bank, const ExportFilter& filter) {
  std::string sql = "select value, phonetic, trans, known, hot from " + BankIdentifier(bank);
  std::vector<std::string> conditions;
  if (filter.known) conditions.emplace_back(*filter.known ? "(known is null or known <> 0)" : "known = 0");
  if (filter.minHot) conditions.push_back("hot >= " + std::to_string(*filter.minHot));
  for (size_t i = 0; i < conditions.size(); ++i) sql += (i == 0 ? " where " : " and ") + conditions[i];
  Statement select(db.handle(), sql);
  if (!select.prepared().ok()) return select.prepared();
  const std::string knownText = Gbk(texts::kKnownShown);
  const std::string unknownText = Gbk(texts::kUnknownShown);
  std::vector<ExportRow> rows;
  for (;;) {
    Result<bool> row = select.Step();
    if (!row.ok()) return row.status();
    if (!*row) break;
    rows.push_back({select.Text(0), select.Text(1), select.Text(2),
                    !select.IsNull(3) && select.Text(3) == "0" ? unknownText : knownText, select.Text(4), "", ""});
  }
  // Each word carries its first kept sentence, as the word list shows it.
  const auto sentences = BankSentences(db, bank);
  if (!sentences.empty())
    for (ExportRow& row : rows)
      if (auto found = sentences.find(row.word); found != sentences.end() && !found->second.empty())
        row.sentence = found->second.front().text;
  // A family row lists the forms it was counted from, as its tooltip does.
  const auto forms = LoadWordForms(db, bank);
  if (!forms.empty())
    for (ExportRow& row : rows)
      if (auto found = forms.find(row.word); found != forms.end()) row.forms = Gbk(FormsText(found->second));
  return rows;
}

}  // namespace quorvo
