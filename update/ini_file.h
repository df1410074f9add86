// Reading and writing the version files (config.ini, webconfig.ini).
//
// The files are plain INI text: "[section]" lines open a section, "key=value"
// lines give values. Section and key names match without regard to letter
// case; a missing file reads like a file without the key. Values are bytes
// (GBK or ASCII) and come back trimmed of surrounding blanks and of one pair
// of surrounding quotes. When a key appears twice, the first one counts.
//
// Every call opens, reads (and writes) the file itself; nothing is kept
// between calls. Calls on different files may run on any threads.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvo {

// One file read once, for callers that look up many keys (the manifest).
// A missing file loads as an empty one; Load() is false only when the file
// exists but cannot be read.
class IniFile {
 public:
  IniFile();
  ~IniFile();
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  bool Load(const std::string& path);
  // Reads the file's content from memory instead (the fuzzer, tests).
  bool LoadText(const std::string& content);
  // The trimmed value (one pair of surrounding quotes removed), or nullopt.
  std::optional<std::string> Value(const std::string& section, const std::string& key) const;
  int Int(const std::string& section, const std::string& key, int defaultValue) const;
  std::string String(const std::string& section, const std::string& key, const std::string& defaultValue,
                     size_t capacity = 512) const;
  // Names of the section's keys as written in the file, in file order.
  std::vector<std::string> Keys(const std::string& section) const;
  // Names of the sections as written in the file, in file order.
  std::vector<std::string> Sections() const;

  // Sets one key (replacing every copy of it), creating section and key as
  // needed, in memory only.
  bool Set(const std::string& section, const std::string& key, const std::string& value);
  // Writes the whole file to path in one step (temporary file, then rename),
  // keeping the permission bits of the file that was loaded.
  bool Save(const std::string& path) const;
  // What Save() writes; nullopt when it cannot be made.
  std::optional<std::string> Text() const;

 private:
  struct Parsed;
  std::unique_ptr<Parsed> parsed_;
};

// The integer value of the key: its leading decimal digits after an optional
// sign ("12abc" gives 12, "abc" gives 0); defaultValue when the file, the
// section or the key is missing or the value is empty.
int ReadIniInt(const std::string& path, const std::string& section, const std::string& key, int defaultValue);

// The text value of the key, or defaultValue when missing; cut to
// capacity - 1 bytes (without splitting a double-byte character), as a
// buffer of that capacity would hold it.
std::string ReadIniString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& defaultValue, size_t capacity = 512);

// Sets one key, creating the file, the section and the key as needed; every
// other section, key and comment of the file stays. The file is replaced as a
// whole in one step (a temporary file in the same folder, then a rename), so
// a crash leaves either the old or the new content, never an empty file; its
// permission bits are kept. False when the existing file cannot be read or
// the new one cannot be written; the old file is then unchanged.
bool WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value);

// The leading-digit integer rule of ReadIniInt applied to a text.
int LeadingInteger(const std::string& text);

}  // namespace quorvo
