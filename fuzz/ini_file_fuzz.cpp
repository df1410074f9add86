// Any bytes as config.ini or webconfig.ini: reading never fails hard, texts
// fit the reader's buffer, and writing one key (what renova does to
// config.ini) keeps every other section and key with the value it had.
#include <strings.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "update/ini_file.h"

namespace {

// (section, key) -> value, for every key as the reader sees it.
std::map<std::pair<std::string, std::string>, std::string> Everything(const quorvo::IniFile& ini) {
  std::map<std::pair<std::string, std::string>, std::string> all;
  for (const std::string& section : ini.Sections())
    for (const std::string& key : ini.Keys(section))
      if (auto value = ini.Value(section, key)) all.emplace(std::make_pair(section, key), *value);
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string content(reinterpret_cast<const char*>(data), size);
  quorvo::IniFile ini;
  if (!ini.LoadText(content)) return 0;
  ini.Int("update", "version", 1);
  ini.Int("update", "file_count", 0);
  if (ini.String("update", "file_1", "no file", 512).size() > 511) __builtin_trap();
  for (const std::string& key : ini.Keys("update"))
    if (!ini.Value("update", key)) __builtin_trap();  // a listed key is found again

  // renova records the new version: one key changes, nothing else does.
  auto before = Everything(ini);
  if (!ini.Set("update", "version", "7")) return 0;
  std::optional<std::string> written = ini.Text();
  if (!written) __builtin_trap();
  quorvo::IniFile reread;
  if (!reread.LoadText(*written)) __builtin_trap();
  if (reread.Int("update", "version", 0) != 7) __builtin_trap();
  auto after = Everything(reread);
  for (const auto& [where, value] : before) {
    const auto& [section, key] = where;
    // Names match without regard to case, like the platform's reader.
    bool isVersion = (section.size() == 6 && strncasecmp(section.c_str(), "update", 6) == 0) &&
                     (key.size() == 7 && strncasecmp(key.c_str(), "version", 7) == 0);
    if (isVersion) continue;
    auto found = reread.Value(section, key);
    if (!found || *found != value) __builtin_trap();
  }
  return 0;
}
