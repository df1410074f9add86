#include "update_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "code_page.h"
#include "file_digest.h"
#include "file_util.h"
#include "ini_file.h"
#include "update_names.h"
#include "update_texts.h"
#include "word_app_process.h"

namespace quorvo {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      decoded.push_back(text[i]);
    }
  }
  return decoded;
}

std::string Format(const char* utf8Pattern, int a, int b) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, utf8Pattern, a, b);
  return buffer;
}

bool MatchesManifest(const std::string& path, const ManifestEntry& entry) {
  if (entry.sha256.empty() && entry.size < 0) return true;
  if (entry.sha256.empty()) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && st.st_size == entry.size;
  }
  std::optional<FileDigest> digest = DigestOfFile(path);
  if (!digest) return false;
  return digest->sha256 == entry.sha256 && (entry.size < 0 || digest->size == entry.size);
}

EntryOutcome UpdateOneFile(const std::string& folder, const std::string& localName, const ManifestEntry& entry,
                           const UpdateRunHooks& hooks) {
  std::string installed = folder + localName;
  std::string copy = installed + ".bak";
  if (!hooks.download(entry.url, copy)) {
    unlink(copy.c_str());  // a cut copy is of no use to anyone
    return EntryOutcome::kDownloadFailed;
  }
  if (!MatchesManifest(copy, entry)) {
    unlink(copy.c_str());
    return EntryOutcome::kRefused;
  }
  struct stat st;
  if (lstat(installed.c_str(), &st) != 0) return EntryOutcome::kLeftAsBak;
  return RenameOverExisting(copy, installed) ? EntryOutcome::kInstalled : EntryOutcome::kNotPutInPlace;
}

}  // namespace

std::string LocalNameOfUrl(const std::string& url) {
  size_t slash = url.rfind('/');
  if (slash == std::string::npos) return "";
  return url.substr(slash);
}

std::string InstalledName(const std::string& localName) {
  static const std::string published = std::string("/") + kPublishedWordAppExe;
  if (localName == published) return std::string("/") + kWordAppExe;
  return localName;
}

bool IsPlainFileName(const std::string& localName) {
  if (localName.empty() || localName[0] != '/') return false;
  std::string name = PercentDecoded(localName.substr(1));
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

UpdateRunResult RunUpdate(const std::string& folder, const UpdateManifest& manifest, UpdateRunView& view,
                          const UpdateRunHooks& given) {
  UpdateRunHooks hooks = given;
  if (!hooks.download)
    hooks.download = [](const std::string& url, const std::string& path) { return DownloadFile(url, path); };
  if (!hooks.findWordApp) hooks.findWordApp = [folder] { return FindWordAppProcess(folder); };
  if (!hooks.stopWordApp) hooks.stopWordApp = [folder](int pid) { StopWordApp(pid, folder); };

  UpdateRunResult result;
  int pid = hooks.findWordApp();
  if (pid != -1) hooks.stopWordApp(pid);

  const int total = static_cast<int>(manifest.files.size());
  int i = 1;
  view.EnableExit(false);
  for (size_t index = 0; index < manifest.files.size(); ++index, ++i) {
    const ManifestEntry& entry = manifest.files[index];
    view.BeginEntry(index);
    std::string localName = InstalledName(LocalNameOfUrl(entry.url));
    view.ShowStatus(Gbk(Format(texts::kRunStatus, i, total)));
    view.ShowCurrentFile(folder + localName);
    EntryOutcome outcome =
        IsPlainFileName(localName) ? UpdateOneFile(folder, localName, entry, hooks) : EntryOutcome::kUnsafeName;
    result.outcomes.push_back(outcome);
    if (outcome != EntryOutcome::kInstalled && outcome != EntryOutcome::kLeftAsBak) ++result.failures;
    view.SetProgress(i * 100 / total);
  }
  view.SetProgress(100);
  view.EnableExit(true);
  view.EnableStart(false);
  unlink((folder + kWebConfigIni).c_str());

  if (result.failures > 0) {
    view.ShowStatus(Gbk(Format(texts::kRunIncomplete, result.failures, 0)));
    return result;
  }
  result.versionRecorded =
      WriteIniString(folder + kConfigIni, kUpdateSection, kVersionKey, std::to_string(manifest.newVersion));
  if (!result.versionRecorded) view.ShowStatus(Gbk(texts::kVersionNotRecorded));
  return result;
}

}  // namespace quorvo
