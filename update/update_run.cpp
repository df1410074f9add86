#include "update/update_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "base/code_page.h"
#include "base/file_util.h"
#include "base/percent_decode.h"
#include "update/file_digest.h"
#include "update/ini_file.h"
#include "update/update_names.h"
#include "update/update_texts.h"
#include "update/update_trust.h"
#include "update/word_app_process.h"

namespace quorvo {
namespace {

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

// Downloads one file into the staging folder and checks it.
EntryOutcome StageOneFile(const std::string& staged, const ManifestEntry& entry, const UpdateRunHooks& hooks) {
  unlink(staged.c_str());
  if (!hooks.download(entry.url, staged)) {
    unlink(staged.c_str());  // a cut copy is of no use to anyone
    return EntryOutcome::kDownloadFailed;
  }
  struct stat st;
  if (lstat(staged.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !MatchesManifest(staged, entry)) {
    unlink(staged.c_str());
    return EntryOutcome::kRefused;
  }
  return EntryOutcome::kNotInstalled;
}

mode_t DefaultMode(const std::string& localName) {
  return localName == std::string("/") + kWordAppExe || localName == std::string("/") + kUpdaterExe ? 0755 : 0644;
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

bool IsProtectedName(const std::string& localName) {
  static const char* const kProtected[] = {"/config.ini",       "/dict_main.db",     "/dict_main.db-journal",
                                           "/dict_main.db-wal", "/dict_main.db-shm", kStagingFolder};
  for (const char* name : kProtected)
    if (localName == name) return true;
  return false;
}

bool IsPlainFileName(const std::string& localName) {
  if (localName.empty() || localName[0] != '/') return false;
  std::string name = *PercentDecode(localName.substr(1));
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
  const std::string staging = folder + kStagingFolder;
  bool failed = !MakeStagingFolder(staging);
  std::vector<std::string> localNames(manifest.files.size());
  view.EnableExit(false);
  for (size_t index = 0; index < manifest.files.size(); ++index) {
    const ManifestEntry& entry = manifest.files[index];
    const int i = static_cast<int>(index) + 1;
    view.BeginEntry(index);
    std::string localName = InstalledName(LocalNameOfUrl(entry.url));
    localNames[index] = localName;
    view.ShowStatus(Gbk(Format(texts::kRunStatus, i, total)));
    view.ShowCurrentFile(folder + localName);
    EntryOutcome outcome;
    if (failed) {
      outcome = EntryOutcome::kNotAttempted;
    } else if (!IsPlainFileName(localName)) {
      outcome = EntryOutcome::kUnsafeName;
    } else if (IsProtectedName(localName)) {
      UpdateNotice("update skips " + localName.substr(1) + ": an update never replaces it");
      outcome = EntryOutcome::kProtected;
    } else {
      outcome = StageOneFile(staging + localName, entry, hooks);
    }
    if (outcome != EntryOutcome::kNotInstalled && outcome != EntryOutcome::kProtected &&
        outcome != EntryOutcome::kNotAttempted) {
      failed = true;
      ++result.failures;
    }
    result.outcomes.push_back(outcome);
    view.SetProgress(i * 100 / total);
  }

  // Every file is here and checked: now, and only now, the installed files
  // change, one rename each. The copies (and their permission bits) reach
  // the disk first, in one flush; the folder is flushed before the version
  // is recorded.
  if (!failed) {
    std::vector<bool> existed(manifest.files.size());
    for (size_t index = 0; index < manifest.files.size() && !failed; ++index) {
      if (result.outcomes[index] != EntryOutcome::kNotInstalled) continue;
      const std::string installed = folder + localNames[index];
      struct stat st;
      existed[index] = lstat(installed.c_str(), &st) == 0;
      if (!SetModeNoFollow(staging + localNames[index], InstallMode(installed, DefaultMode(localNames[index])))) {
        result.outcomes[index] = EntryOutcome::kNotPutInPlace;
        failed = true;
      }
    }
    if (!failed && !SyncFileSystemOf(staging)) failed = true;
    for (size_t index = 0; index < manifest.files.size() && !failed; ++index) {
      if (result.outcomes[index] != EntryOutcome::kNotInstalled) continue;
      if (rename((staging + localNames[index]).c_str(), (folder + localNames[index]).c_str()) == 0) {
        result.outcomes[index] = existed[index] ? EntryOutcome::kInstalled : EntryOutcome::kAdded;
      } else {
        result.outcomes[index] = EntryOutcome::kNotPutInPlace;
        failed = true;
      }
    }
    if (failed) ++result.failures;
    SyncFolderOf(folder + kConfigIni);
  }
  RemoveStagingFolder(staging);

  view.SetProgress(100);
  view.EnableExit(true);
  view.EnableStart(false);
  unlink((folder + kWebConfigIni).c_str());
  unlink((folder + kWebConfigSig).c_str());

  if (failed) {
    view.ShowStatus(Gbk(Format(texts::kRunIncomplete, std::max(result.failures, 1), 0)));
    return result;
  }
  result.versionRecorded =
      WriteIniString(folder + kConfigIni, kUpdateSection, kVersionKey, std::to_string(manifest.newVersion));
  if (!result.versionRecorded) view.ShowStatus(Gbk(texts::kVersionNotRecorded));
  return result;
}

}  // namespace quorvo
