#include "update_manifest.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "ini_file.h"
#include "update_names.h"

namespace quorvo {
namespace {

constexpr char kNoFile[] = "no file";

std::string Lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The highest n of the "file_<n>" keys that "file_%d" can name: keys above
// it are missing, so a huge file_count need not be walked to its end. A key
// with leading zeros, or with more digits than any int has, is never looked
// up, so it must not make the walk any longer.
long long HighestFileKey(const IniFile& manifest) {
  long long highest = 0;
  for (const std::string& key : manifest.Keys(kUpdateSection)) {
    std::string name = Lowercase(key);
    if (name.rfind("file_", 0) != 0) continue;
    std::string digits = name.substr(5);
    if (digits.empty() || digits.size() > 10 || digits[0] == '0') continue;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    highest = std::max(highest, std::stoll(digits));
  }
  return highest;
}

}  // namespace

long long LeadingSize(const std::string& text) {
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (value > (1LL << 58)) return -2;  // far beyond any file: never matches
    value = value * 10 + (c - '0');
  }
  return value;
}

void FetchManifest(const std::string& folder, const std::string& serverBase, const DownloadOptions& options) {
  std::string path = folder + kWebConfigIni;
  unlink(path.c_str());
  if (!DownloadFile(serverBase + kServerManifest, path, options)) unlink(path.c_str());
}

UpdateManifest LoadManifest(const std::string& folder) {
  int localVersion = ReadIniInt(folder + kConfigIni, kUpdateSection, kVersionKey, 0);
  IniFile web;
  web.Load(folder + kWebConfigIni);  // unreadable: read as empty
  UpdateManifest manifest = ManifestFromIni(web, localVersion);
  if (manifest.newVersion == localVersion) unlink((folder + kWebConfigIni).c_str());
  return manifest;
}

UpdateManifest ManifestFromIni(const IniFile& web, int localVersion) {
  UpdateManifest manifest;
  manifest.newVersion = web.Int(kUpdateSection, kVersionKey, 1);
  if (manifest.newVersion == localVersion) return manifest;
  long long count = std::min<long long>(web.Int(kUpdateSection, kFileCountKey, 0), HighestFileKey(web));
  for (long long i = 1; i <= count; ++i) {
    std::string n = std::to_string(i);
    std::string url = web.String(kUpdateSection, "file_" + n, kNoFile, 512);
    if (url.find(kNoFile) != std::string::npos) continue;
    ManifestEntry entry;
    entry.url = url;
    entry.sha256 = Lowercase(web.String(kUpdateSection, "sha256_" + n, "", 512));
    if (std::optional<std::string> size = web.Value(kUpdateSection, "size_" + n)) entry.size = LeadingSize(*size);
    manifest.files.push_back(std::move(entry));
  }
  return manifest;
}

}  // namespace quorvo
