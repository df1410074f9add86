#include "wordstore/word_import.h"

#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>
#include <unordered_map>

#include "base/code_page.h"
#include "wordstore/sql.h"
#include "wordstore/texts.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

Status LineProblem(int line, const std::string& what) {
  return Status(StatusCode::kRejected, "第 " + std::to_string(line) + " 行：" + what);
}

int LineAt(std::string_view text, size_t offset) {
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// The offset of the first byte that is not part of a valid UTF-8 sequence,
// or npos.
size_t InvalidUtf8At(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return i;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return i;
    auto c1 = static_cast<unsigned char>(s[i + 1]);
    if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F))
      return i;
    i += n;
  }
  return std::string_view::npos;
}

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

// The text in UTF-8, or the line where the encoding breaks.
Result<std::string> ConvertToUtf8(std::string_view in, const char* from, const char* name) {
  iconv_t raw = iconv_open("UTF-8", from);
  if (raw == reinterpret_cast<iconv_t>(-1)) return Status(StatusCode::kIoError, std::string("无法转换 ") + name);
  std::unique_ptr<void, IconvCloser> cd(raw);
  std::string out(in.size() * 2 + 16, '\0');
  char* inp = const_cast<char*>(in.data());
  size_t inleft = in.size();
  char* outp = out.data();
  size_t outleft = out.size();
  while (inleft > 0) {
    if (iconv(raw, &inp, &inleft, &outp, &outleft) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      size_t used = static_cast<size_t>(outp - out.data());
      out.resize(out.size() * 2);
      outp = out.data() + used;
      outleft = out.size() - used;
      continue;
    }
    size_t used = static_cast<size_t>(outp - out.data());
    return LineProblem(LineAt(std::string_view(out.data(), used), used), std::string("不是有效的 ") + name + " 文本");
  }
  out.resize(static_cast<size_t>(outp - out.data()));
  return out;
}

// UTF-16 without a byte-order mark: most of its ASCII has a zero byte
// beside it.
const char* GuessUtf16(std::string_view s) {
  size_t n = std::min<size_t>(s.size() & ~size_t{1}, 512);
  if (n < 2) return nullptr;
  size_t evenZeros = 0, oddZeros = 0;
  for (size_t i = 0; i < n; i += 2) {
    evenZeros += s[i] == 0;
    oddZeros += s[i + 1] == 0;
  }
  if (oddZeros * 2 > n / 2 && evenZeros == 0) return "UTF-16LE";
  if (evenZeros * 2 > n / 2 && oddZeros == 0) return "UTF-16BE";
  return nullptr;
}

Result<std::string> DecodeToUtf8(std::string_view bytes) {
  std::string_view rest = bytes;
  Result<std::string> text = std::string();
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") {
    rest.remove_prefix(3);
    if (size_t bad = InvalidUtf8At(rest); bad != std::string_view::npos)
      return LineProblem(LineAt(rest, bad), "不是有效的 UTF-8 文本");
    text = std::string(rest);
  } else if (rest.substr(0, 2) == "\xFF\xFE") {
    text = ConvertToUtf8(rest.substr(2), "UTF-16LE", "UTF-16");
  } else if (rest.substr(0, 2) == "\xFE\xFF") {
    text = ConvertToUtf8(rest.substr(2), "UTF-16BE", "UTF-16");
  } else if (const char* utf16 = GuessUtf16(rest)) {
    text = ConvertToUtf8(rest, utf16, "UTF-16");
  } else if (InvalidUtf8At(rest) == std::string_view::npos) {
    text = std::string(rest);
  } else {
    text = ConvertToUtf8(rest, "GB18030", "GB18030");
  }
  if (!text.ok()) return text;
  if (size_t zero = text->find('\0'); zero != std::string::npos)
    return LineProblem(LineAt(*text, zero), "有零字节，这不是文本文件");
  return text;
}

// One record of a delimited text and the line it starts on.
struct Record {
  std::vector<std::string> fields;
  int line = 0;
};

// RFC 4180 with the given separator: a field that starts with '"' runs to
// the next lone '"', doubled quotes in it are one; a quote inside an
// unquoted field is kept as it is. A line starting with '#' is skipped when
// comments is set (Anki's text files).
Result<std::vector<Record>> SplitRecords(std::string_view text, char separator, bool comments, int firstLine) {
  std::vector<Record> records;
  size_t i = 0;
  int line = firstLine;
  while (i < text.size()) {
    if (comments && text[i] == '#') {
      size_t end = text.find('\n', i);
      i = end == std::string_view::npos ? text.size() : end + 1;
      ++line;
      continue;
    }
    Record record;
    record.line = line;
    std::string field;
    bool ended = false;
    while (!ended) {
      if (i < text.size() && text[i] == '"') {
        int opened = line;
        ++i;
        for (;;) {
          if (i >= text.size()) return LineProblem(opened, "引号没有结束");
          char c = text[i++];
          if (c == '"') {
            if (i < text.size() && text[i] == '"') {
              field.push_back('"');
              ++i;
              continue;
            }
            break;
          }
          if (c == '\n') ++line;
          field.push_back(c);
        }
      }
      // The unquoted part (or what follows a closing quote) up to the
      // separator or the line's end.
      for (;;) {
        if (i >= text.size()) {
          ended = true;
          break;
        }
        char c = text[i];
        if (c == separator) {
          ++i;
          break;
        }
        if (c == '\r' || c == '\n') {
          i += c == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
          ++line;
          ended = true;
          break;
        }
        field.push_back(c);
        ++i;
      }
      record.fields.push_back(std::move(field));
      field.clear();
    }
    bool blank =
        std::all_of(record.fields.begin(), record.fields.end(), [](const std::string& f) { return f.empty(); });
    if (!blank) records.push_back(std::move(record));
  }
  return records;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = s[s.size() - suffix.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return std::string(s);
}

// Which field holds what; -1: none.
struct Columns {
  int word = 0;
  int phonetic = -1;
  int translation = -1;
  int known = -1;
  int hot = -1;
};

// A header line names its columns: ours, a spreadsheet's, Anki's.
std::optional<Columns> HeaderColumns(const std::vector<std::string>& names) {
  Columns columns;
  columns.word = -1;
  for (size_t i = 0; i < names.size(); ++i) {
    std::string name = Lower(Utf8(Trimmed(names[i])));
    int at = static_cast<int>(i);
    if (name == "word" || name == "单词" || name == "英文" || name == "english" || name == "front")
      columns.word = columns.word < 0 ? at : columns.word;
    else if (name == "phonetic" || name == "音标")
      columns.phonetic = at;
    else if (name == "translation" || name == "释义" || name == "中文" || name == "meaning" || name == "back" ||
             name == "trans" || name == "chinese")
      columns.translation = columns.translation < 0 ? at : columns.translation;
    else if (name == "known" || name == "会背")
      columns.known = at;
    else if (name == "hot" || name == "热度")
      columns.hot = at;
  }
  if (columns.word < 0) return std::nullopt;
  return columns;
}

// HTML of an Anki field (GBK) as text: line breaks, the usual entities and
// numeric references (GBK out).
std::string FromHtml(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  for (size_t i = 0; i < html.size(); ++i) {
    char c = html[i];
    if (c == '<') {
      std::string tag = Lower(html.substr(i, 6));
      for (std::string_view br : {"<br>", "<br/>", "<br />"})
        if (tag.compare(0, br.size(), br) == 0) {
          out.push_back('\n');
          i += br.size() - 1;
          c = 0;
          break;
        }
      if (c == 0) continue;
    } else if (c == '&') {
      size_t semi = html.find(';', i);
      if (semi != std::string_view::npos && semi - i <= 10) {
        std::string_view name = html.substr(i + 1, semi - i - 1);
        std::optional<uint32_t> code;
        if (name == "amp") code = '&';
        if (name == "lt") code = '<';
        if (name == "gt") code = '>';
        if (name == "quot") code = '"';
        if (name == "apos") code = '\'';
        if (name == "nbsp") code = 0xA0;
        if (name.size() > 1 && name[0] == '#') {
          bool hex = name[1] == 'x' || name[1] == 'X';
          std::string digits(name.substr(hex ? 2 : 1));
          char* end = nullptr;
          unsigned long value = digits.empty() ? 0 : std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
          if (!digits.empty() && end && *end == '\0' && value > 0 && value <= 0x10FFFF) code = value;
        }
        if (code) {
          uint32_t u = *code;
          std::string utf8;
          if (u < 0x80) {
            out.push_back(static_cast<char>(u));
          } else if (u < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (u >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (u & 0x3F)));
          } else if (u < 0x10000) {
            utf8.push_back(static_cast<char>(0xE0 | (u >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (u & 0x3F)));
          } else {
            utf8.push_back(static_cast<char>(0xF0 | (u >> 18)));
            utf8.push_back(static_cast<char>(0x80 | ((u >> 12) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (u & 0x3F)));
          }
          if (!utf8.empty()) out += Gbk(utf8);
          i = semi;
          continue;
        }
      }
    }
    out.push_back(c);
  }
  return out;
}

// Anki's names for a separator, or the character itself.
char AnkiSeparator(std::string_view value) {
  std::string name = Lower(Trimmed(value));
  if (name == "tab") return '\t';
  if (name == "comma") return ',';
  if (name == "semicolon") return ';';
  if (name == "space") return ' ';
  if (name == "pipe") return '|';
  if (name == "colon") return ':';
  return name.size() == 1 ? name[0] : '\t';
}

// Gathers rows: duplicates (last wins), cut cells, skipped rows.
class Gatherer {
 public:
  explicit Gatherer(ImportFile& file) : file_(file) {}

  void Reserve(size_t rows) {
    file_.words.reserve(rows);
    index_.reserve(rows);
  }

  void Add(ImportedWord word) {
    bool cut = false;
    auto fit = [&cut](std::string& cell, size_t limit) {
      if (cell.size() <= limit) return;
      cell = TruncateGbk(cell, limit);
      cut = true;
    };
    fit(word.word, kMaxWordBytes);
    fit(word.phonetic, kMaxPhoneticBytes);
    fit(word.translation, kMaxTranslationBytes);
    if (Trimmed(word.word).empty()) {
      ++file_.skipped;
      return;
    }
    if (cut) ++file_.cut;
    auto [at, added] = index_.try_emplace(word.word, file_.words.size());
    if (added) {
      file_.words.push_back(std::move(word));
      return;
    }
    ++file_.duplicates;
    file_.words[at->second] = std::move(word);
  }

 private:
  ImportFile& file_;
  std::unordered_map<std::string, size_t> index_;
};

std::string Cell(std::vector<std::string>& fields, int column) {
  if (column < 0 || static_cast<size_t>(column) >= fields.size()) return {};
  return std::move(fields[static_cast<size_t>(column)]);
}

Result<std::optional<std::string>> KnownValue(std::string_view cellGbk, int line) {
  const std::string v = Lower(Utf8(Trimmed(cellGbk)));
  if (v.empty()) return std::optional<std::string>();
  if (v == "会" || v == "会背" || v == "1" || v == "true" || v == "yes" || v == "是")
    return std::optional<std::string>("1");
  if (v == "不会" || v == "不会背" || v == "0" || v == "false" || v == "no" || v == "否")
    return std::optional<std::string>("0");
  return LineProblem(line, "会背一栏的“" + Utf8(cellGbk) + "”不是“会”或“不会”");
}

Result<std::optional<int64_t>> HotValue(std::string_view cell, int line) {
  std::string v = Trimmed(cell);
  if (v.empty()) return std::optional<int64_t>();
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(v.c_str(), &end, 10);
  if (errno != 0 || !end || *end != '\0') return LineProblem(line, "热度一栏的“" + Utf8(cell) + "”不是整数");
  return std::optional<int64_t>(value);
}

// Our own export's header: its cells carry the spreadsheet guard.
constexpr std::string_view kOwnCsvHeader = "word,phonetic,translation,";

void Unguard(std::string& cell) {
  if (!cell.empty() && cell.front() == '\'') cell.erase(cell.begin());
}

Status GatherDelimited(std::vector<Record>& records, const Columns& columns, bool guarded, bool html,
                       Gatherer& gather) {
  gather.Reserve(records.size());
  for (Record& record : records) {
    std::vector<std::string>& fields = record.fields;
    if (guarded)
      for (std::string& f : fields) Unguard(f);
    if (html)
      for (std::string& f : fields) f = FromHtml(f);
    ImportedWord word;
    word.line = record.line;
    word.word = Cell(fields, columns.word);
    word.phonetic = Cell(fields, columns.phonetic);
    word.translation = Cell(fields, columns.translation);
    if (columns.known >= 0 && static_cast<size_t>(columns.known) < fields.size()) {
      auto known = KnownValue(fields[static_cast<size_t>(columns.known)], record.line);
      if (!known.ok()) return known.status();
      word.known = *known;
    }
    if (columns.hot >= 0 && static_cast<size_t>(columns.hot) < fields.size()) {
      auto hot = HotValue(fields[static_cast<size_t>(columns.hot)], record.line);
      if (!hot.ok()) return hot.status();
      word.hot = *hot;
    }
    gather.Add(std::move(word));
  }
  return Status::Ok();
}

// The Anki flash-card text: "#key:value" header lines, then notes.
Status ParseAnkiText(std::string_view text, Gatherer& gather) {
  char separator = '\t';
  bool html = false;
  Columns columns;
  columns.translation = 1;
  int tagsColumn = -1;
  int line = 1;
  size_t at = 0;
  while (at < text.size() && text[at] == '#') {
    size_t end = text.find('\n', at);
    std::string_view header = text.substr(at + 1, (end == std::string_view::npos ? text.size() : end) - at - 1);
    if (!header.empty() && header.back() == '\r') header.remove_suffix(1);
    size_t colon = header.find(':');
    if (colon == std::string_view::npos) break;
    std::string key = Lower(header.substr(0, colon));
    std::string_view value = header.substr(colon + 1);
    if (key == "separator") separator = AnkiSeparator(value);
    if (key == "html") html = Lower(Trimmed(value)) == "true";
    if (key == "tags column") tagsColumn = std::atoi(std::string(value).c_str()) - 1;
    if (key == "columns") {
      std::vector<std::string> names;
      size_t start = 0;
      std::string all(value);
      for (;;) {
        size_t sep = all.find(separator, start);
        names.push_back(all.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
        if (sep == std::string::npos) break;
        start = sep + 1;
      }
      if (auto named = HeaderColumns(names)) columns = *named;
    }
    at = end == std::string_view::npos ? text.size() : end + 1;
    ++line;
  }
  if (tagsColumn >= 0 && (columns.translation == tagsColumn)) columns.translation = -1;
  auto records = SplitRecords(text.substr(at), separator, true, line);
  if (!records.ok()) return records.status();
  return GatherDelimited(*records, columns, false, html, gather);
}

}  // namespace

Result<ImportFile> ParseImportText(std::string_view bytes, std::string_view fileName) {
  auto decoded = DecodeToUtf8(bytes);
  if (!decoded.ok()) return decoded.status();
  // Parsed as the bank keeps it, converted once: the separators, quotes,
  // line breaks, "#", "&", "<" and "'" are below 0x40 and so never part of
  // a two- or four-byte character.
  std::optional<std::string> gbk = Utf8ToGbk(*decoded);
  if (!gbk) return Status(StatusCode::kIoError, "无法转换为 GB18030");
  std::string_view text = *gbk;
  ImportFile file;
  Gatherer gather(file);
  Status parsed;
  std::string_view firstLine = text.substr(0, text.find('\n'));
  if (!firstLine.empty() && firstLine.back() == '\r') firstLine.remove_suffix(1);
  if (text.rfind("#separator:", 0) == 0 || text.rfind("#html:", 0) == 0 || text.rfind("#notetype:", 0) == 0 ||
      text.rfind("#deck:", 0) == 0 || text.rfind("#columns:", 0) == 0) {
    parsed = ParseAnkiText(text, gather);
  } else if (EndsWithNoCase(fileName, ".csv") || firstLine.find('\t') != std::string_view::npos) {
    bool tabs = firstLine.find('\t') != std::string_view::npos && firstLine.find(',') == std::string_view::npos;
    auto records = SplitRecords(text, tabs ? '\t' : ',', false, 1);
    if (!records.ok()) return records.status();
    Columns columns;
    bool guarded = false;
    if (!records->empty()) {
      if (auto named = HeaderColumns(records->front().fields)) {
        columns = *named;
        guarded = firstLine.substr(0, kOwnCsvHeader.size()) == kOwnCsvHeader;
        file.knownColumn = columns.known >= 0;
        file.hotColumn = columns.hot >= 0;
        records->erase(records->begin());
      } else if (records->front().fields.size() > 1) {
        columns.translation = 1;
      }
    }
    parsed = GatherDelimited(*records, columns, guarded, false, gather);
  } else {
    int line = 0;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      std::string_view raw = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
      ++line;
      start = end == std::string_view::npos ? text.size() : end + 1;
      std::string word = Trimmed(raw);
      if (word.empty()) continue;
      ImportedWord row;
      row.word = std::move(word);
      row.line = line;
      gather.Add(std::move(row));
    }
  }
  if (!parsed.ok()) return parsed;
  if (file.words.empty()) return Status(StatusCode::kRejected, "文件里没有单词");
  return file;
}

Result<ImportFile> ReadImportFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return Status(errno == ENOENT ? StatusCode::kNotFound : StatusCode::kIoError, "无法打开文件 " + path);
  if (!S_ISREG(st.st_mode)) return Status(StatusCode::kRejected, path + " 不是普通文件");
  if (static_cast<uint64_t>(st.st_size) > kMaxImportFileBytes)
    return Status(StatusCode::kRejected, "文件超过 " + std::to_string(kMaxImportFileBytes >> 20) + " MiB，没有导入");
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status(StatusCode::kIoError, "无法打开文件 " + path);
  std::string bytes;
  bytes.resize(static_cast<size_t>(st.st_size));
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (in.bad()) return Status(StatusCode::kIoError, "读取文件出错 " + path);
  return ParseImportText(bytes, path);
}

Result<ImportCounts> WriteImport(WordDatabase& db, std::string_view bank, const ImportFile& file) {
  ImportCounts counts;
  const bool exists = BankExists(db, bank);
  if (!exists) {
    BankNameProblem problem = CheckBankName(bank);
    if (problem != BankNameProblem::kNone) return Status(StatusCode::kRefused, BankNameRefusal(problem, bank));
  }
  WordDatabase::Batch batch(db);
  if (!batch.began().ok()) return batch.began();
  sqlite3* h = db.handle();
  // No other thread's statement between an update and its change count.
  ConnectionLock lock(h);
  if (!exists) {
    Status made = db.Run(CreateBankStatement(bank));
    if (!made.ok()) return made;
    counts.createdBank = true;
  }
  const std::string table = BankIdentifier(bank);
  // An empty translation or phonetic (not given) keeps the bank's.
  Statement update(h, "update " + table +
                          " set phonetic = coalesce(?2, phonetic), trans = coalesce(?3, trans), "
                          "known = coalesce(?4, known), hot = coalesce(?5, hot) where value = ?1");
  Statement insert(h, "insert into " + table + " (value, phonetic, trans, known, hot) values (?1, ?2, ?3, ?4, ?5)");
  Statement translated(h, "select trans from " + table + " where value = ?1");
  for (const Statement* s : {&update, &insert, &translated})
    if (!s->prepared().ok()) return s->prepared();
  for (const ImportedWord& word : file.words) {
    for (Statement* s : {&update, &insert}) {
      s->Bind(1, word.word);
      if (!word.phonetic.empty()) s->Bind(2, word.phonetic);
      if (!word.translation.empty()) s->Bind(3, word.translation);
      if (word.known) s->Bind(4, std::string_view(*word.known));
      if (word.hot) s->Bind(5, *word.hot);
    }
    // A word without a hot value starts at 1, as a word met once does.
    if (!file.hotColumn) insert.Bind(5, 1);
    if (!file.knownColumn) insert.Bind(4, std::string_view("0"));
    Status updated = update.Run();
    update.Reset();
    if (!updated.ok()) {
      insert.Reset();
      return updated;
    }
    if (sqlite3_changes(h) > 0) {
      ++counts.updated;
      insert.Reset();
    } else {
      Status inserted = insert.Run();
      insert.Reset();
      if (!inserted.ok()) return inserted;
      ++counts.added;
    }
    if (word.translation.empty()) {
      translated.Bind(1, word.word);
      Result<bool> row = translated.Step();
      bool has = row.ok() && *row && !translated.IsNull(0) && !translated.Text(0).empty();
      translated.Reset();
      if (!has) counts.untranslated.emplace_back(word.word, word.hot ? static_cast<int>(*word.hot) : 1);
    }
  }
  Status committed = batch.Commit();
  if (!committed.ok()) return committed;
  return counts;
}

}  // namespace quorvo
