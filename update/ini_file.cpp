#include "update/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#define SI_IMPLEMENTATION  // the 8-bit reader is compiled here, see CMakeLists.txt
#include <SimpleIni.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "base/code_page.h"
#include "base/file_util.h"

namespace quorvo {
namespace {

// Reads the whole file. nullopt when it exists but cannot be read; an empty
// text when it does not exist (a missing file reads as an empty one).
std::optional<std::string> ReadWholeFile(const std::string& path, bool* exists) {
  *exists = false;
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    if (errno == ENOENT || errno == ENOTDIR) return std::string();
    *exists = true;
    return std::nullopt;
  }
  *exists = true;
  std::string content;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) return content;
    content.append(buffer, static_cast<size_t>(n));
  }
}

// A line that opens a section name but never closes it ("[update" alone)
// is no section line; the platform's reader ignores it. SimpleIni skips it
// too, but then files the keys that follow under a name made of that line
// and the next key, so they vanish from their own section and come back
// changed when the file is written. Such a line becomes a comment: it is
// still written back, and reads as nothing.
std::string WithoutOpenSectionLines(const std::string& content) {
  std::string out;
  out.reserve(content.size() + 8);
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find_first_of("\r\n", start);
    if (end == std::string::npos) end = content.size();
    // The first line may begin with a UTF-8 byte-order mark, which SimpleIni
    // skips before it looks at the line.
    size_t lineStart = start == 0 && content.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : start;
    size_t first = std::min(content.find_first_not_of(" \t", lineStart), end);
    out.append(content, start, first - start);
    if (first < end && content[first] == '[' && content.find(']', first) >= end) out += ';';
    out.append(content, first, end - first);
    size_t next = content.find_first_not_of("\r\n", end);
    if (next == std::string::npos) next = content.size();
    out.append(content, end, next - end);
    start = next;
  }
  return out;
}

}  // namespace

// Duplicate keys are all kept so that the first one wins on reading, as with
// the platform's INI reader; a write replaces them all with one.
struct IniFile::Parsed {
  CSimpleIniA ini{/*isUtf8=*/false, /*multiKey=*/true, /*multiLine=*/false};
  bool exists = false;
};

IniFile::IniFile() : parsed_(std::make_unique<Parsed>()) { parsed_->ini.SetSpaces(false); }
IniFile::~IniFile() = default;

bool IniFile::Load(const std::string& path) {
  parsed_->ini.Reset();
  std::optional<std::string> content = ReadWholeFile(path, &parsed_->exists);
  if (!content) return false;
  return parsed_->ini.LoadData(WithoutOpenSectionLines(*content)) >= 0;
}

bool IniFile::LoadText(const std::string& content) {
  parsed_->ini.Reset();
  parsed_->exists = false;
  return parsed_->ini.LoadData(WithoutOpenSectionLines(content)) >= 0;
}

std::optional<std::string> IniFile::Value(const std::string& section, const std::string& key) const {
  const char* value = parsed_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
  if (!value) return std::nullopt;
  std::string text = value;
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
    text = text.substr(1, text.size() - 2);
  return text;
}

int IniFile::Int(const std::string& section, const std::string& key, int defaultValue) const {
  std::optional<std::string> value = Value(section, key);
  if (!value || value->empty()) return defaultValue;
  return LeadingInteger(*value);
}

std::string IniFile::String(const std::string& section, const std::string& key, const std::string& defaultValue,
                            size_t capacity) const {
  std::string value = Value(section, key).value_or(defaultValue);
  if (capacity == 0) return "";
  return TruncateGbk(value, capacity - 1);
}

std::vector<std::string> IniFile::Keys(const std::string& section) const {
  CSimpleIniA::TNamesDepend keys;
  parsed_->ini.GetAllKeys(section.c_str(), keys);
  keys.sort(CSimpleIniA::Entry::LoadOrder());
  std::vector<std::string> names;
  for (const auto& entry : keys) names.emplace_back(entry.pItem);
  return names;
}

std::vector<std::string> IniFile::Sections() const {
  CSimpleIniA::TNamesDepend sections;
  parsed_->ini.GetAllSections(sections);
  sections.sort(CSimpleIniA::Entry::LoadOrder());
  std::vector<std::string> names;
  for (const auto& entry : sections) names.emplace_back(entry.pItem);
  return names;
}

int LeadingInteger(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;  // wraps like the platform's 32-bit reader
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + uint32_t(text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

int ReadIniInt(const std::string& path, const std::string& section, const std::string& key, int defaultValue) {
  IniFile file;
  if (!file.Load(path)) return defaultValue;
  return file.Int(section, key, defaultValue);
}

std::string ReadIniString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& defaultValue, size_t capacity) {
  IniFile file;
  if (!file.Load(path)) return IniFile().String(section, key, defaultValue, capacity);
  return file.String(section, key, defaultValue, capacity);
}

bool IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  return parsed_->ini.SetValue(section.c_str(), key.c_str(), value.c_str(), nullptr, /*forceReplace=*/true) >= 0;
}

std::optional<std::string> IniFile::Text() const {
  std::string output;
  if (parsed_->ini.Save(output) < 0) return std::nullopt;
  // A key that begins with the bytes of a UTF-8 byte-order mark (possible
  // in the middle of a file) must not land on the first line, where the
  // reader would take those bytes for the mark and drop them.
  if (output.rfind("\xEF\xBB\xBF", 0) == 0) output = "\n" + output;
  return output;
}

bool IniFile::Save(const std::string& path) const {
  std::optional<std::string> output = Text();
  if (!output) return false;
  mode_t mode = 0644;
  struct stat st;
  if (parsed_->exists && stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
  return ReplaceFileAtomically(path, *output, mode).ok();
}

bool WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) {
  IniFile file;
  if (!file.Load(path)) return false;  // never replace a file we could not read
  return file.Set(section, key, value) && file.Save(path);
}

}  // namespace quorvo
