#include "wordstore/word_export.h"

#include <memory>

#include "base/code_page.h"
#include "base/file_util.h"

namespace quorvo {
namespace {

// Plain ASCII (words, numbers) is the same in both code pages.
std::string ToUtf8(std::string_view gbk) {
  for (char c : gbk)
    if (static_cast<unsigned char>(c) >= 0x80) return Utf8(gbk);
  return std::string(gbk);
}

void AppendCsvField(std::string& out, std::string_view utf8) {
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

// A field of the Anki file: HTML, one line, no tab.
void AppendAnkiField(std::string& out, std::string_view utf8) {
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

// Anki separates tags by blanks: a bank name with blanks stays one tag.
std::string AnkiTag(std::string_view utf8) {
  std::string tag;
  for (char c : utf8) tag.push_back(c == ' ' || c == '\t' || c == '\r' || c == '\n' ? '_' : c);
  return tag;
}

}  // namespace

std::string FormatExport(const std::vector<ExportRow>& rows, ExportFormat format, std::string_view bankGbk) {
  std::string out;
  out.reserve(rows.size() * 64 + 64);
  if (format == ExportFormat::Csv) {
    out.append("\xEF\xBB\xBF");
    out.append("word,phonetic,translation,known,hot,sentence\r\n");
    for (const ExportRow& row : rows) {
      AppendCsvField(out, ToUtf8(row.word));
      out.push_back(',');
      AppendCsvField(out, ToUtf8(row.phonetic));
      out.push_back(',');
      AppendCsvField(out, ToUtf8(row.translation));
      out.push_back(',');
      AppendCsvField(out, ToUtf8(row.known));
      out.push_back(',');
      AppendCsvField(out, ToUtf8(row.hot));
      out.push_back(',');
      AppendCsvField(out, ToUtf8(row.sentence));
      out.append("\r\n");
    }
    return out;
  }
  out.append("#separator:tab\n#html:true\n#tags column:5\n");
  std::string tag = AnkiTag(ToUtf8(bankGbk));
  for (const ExportRow& row : rows) {
    AppendAnkiField(out, ToUtf8(row.word));
    out.push_back('\t');
    AppendAnkiField(out, ToUtf8(row.phonetic));
    out.push_back('\t');
    AppendAnkiField(out, ToUtf8(row.translation));
    out.push_back('\t');
    AppendAnkiField(out, ToUtf8(row.sentence));
    out.push_back('\t');
    out.append(tag);
    out.push_back('\n');
  }
  return out;
}

Status WriteExport(const std::string& path, const std::vector<ExportRow>& rows, ExportFormat format,
                   std::string_view bankGbk) {
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
  return endsWith(".txt") || endsWith(".tsv") ? ExportFormat::AnkiTsv : ExportFormat::Csv;
}

}  // namespace quorvo
