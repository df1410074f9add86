#include "update/update_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "base/code_page.h"
#include "base/diagnostics.h"
#include "base/file_util.h"
#include "update/file_digest.h"
#include "update/ini_file.h"
#include "update/renova_lock.h"
#include "update/update_names.h"
#include "update/update_texts.h"
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
  Status downloaded = hooks.download(entry.url, staged);
  if (!downloaded.ok()) {
    Diagnostic("update: " + entry.url + " not downloaded: " + downloaded.message());
    unlink(staged.c_str());  // a cut copy is of no use to anyone
    return downloaded.code() == StatusCode::kRefused ? EntryOutcome::kRefused : EntryOutcome::kDownloadFailed;
  }
  struct stat st;
  if (lstat(staged.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !MatchesManifest(staged, entry)) {
    Diagnostic("update: " + entry.url + " does not match the manifest's size and digest");
    unlink(staged.c_str());
    return EntryOutcome::kRefused;
  }
  return EntryOutcome::kNotInstalled;
}

mode_t DefaultMode(const std::string& localName) {
  return localName == std::string("/") + kWordAppExe || localName == std::string("/") + kUpdaterExe ? 0755 : 0644;
}

// The end of every run: the bar shows 100 only for a recorded version, and
// a failure is said on the status line (GBK), last.
void Finish(const std::string& folder, UpdateRunView& view, const UpdateRunResult& result, bool removeManifest,
            const std::string& failureText) {
  view.SetProgress(result.versionRecorded ? 100 : 0);
  view.EnableExit(true);
  view.EnableStart(false);
  if (removeManifest) {
    unlink((folder + kWebConfigIni).c_str());
    unlink((folder + kWebConfigSig).c_str());
  }
  if (!result.versionRecorded) view.ShowStatus(Gbk(failureText));
}

}  // namespace

UpdateRunResult RunUpdate(const std::string& folder, const UpdateManifest& manifest, UpdateRunView& view,
                          const UpdateRunHooks& given) {
  UpdateRunHooks hooks = given;
  if (!hooks.download) {
    DownloadOptions base = hooks.downloadOptions;
    hooks.download = [base, &manifest](const std::string& url, const std::string& path) {
      DownloadOptions options = base;
      // The entry's published size bounds its download: one byte more ends it.
      for (const ManifestEntry& entry : manifest.files)
        if (entry.url == url && entry.size >= 0) options.expectedBytes = entry.size;
      return DownloadFile(url, path, options);
    };
  }
  if (!hooks.findWordApp) hooks.findWordApp = [folder] { return FindWordAppProcess(folder); };
  if (!hooks.stopWordApp) hooks.stopWordApp = [folder](int pid) { StopWordApp(pid, folder); };

  const size_t count = manifest.files.size();
  const int total = static_cast<int>(count);
  UpdateRunResult result;
  result.outcomes.assign(count, EntryOutcome::kNotAttempted);
  view.EnableExit(false);

  // One renova at a time: a second one changes nothing, not even the
  // manifest copy the first one may still read.
  Result<RenovaFolderLock> lock = RenovaFolderLock::Take(folder);
  if (!lock.ok()) {
    result.status = lock.status();
    Diagnostic("update not run: " + lock.status().message());
    Finish(folder, view, result, false,
           lock.status().code() == StatusCode::kBusy ? texts::kRunBusy : texts::kFolderNotWritable);
    return result;
  }
  Result<Recovery> recovery = RecoverInterruptedRun(folder);
  if (!recovery.ok()) {
    result.status = recovery.status();
    Diagnostic("update not run: an interrupted run cannot be finished or undone: " + recovery.status().message());
    Finish(folder, view, result, true, texts::kInterruptedRunStuck);
    return result;
  }

  // Every name is checked before anything is downloaded.
  std::vector<std::string> names(count);
  for (size_t index = 0; index < count; ++index) {
    names[index] = InstalledNameOf(manifest.files[index]);
    if (!IsPlainFileName(names[index])) {
      result.outcomes[index] = EntryOutcome::kUnsafeName;
      result.failures = 1;
      result.status = Status(StatusCode::kRefused, "the manifest names no plain file: " + manifest.files[index].url);
      Diagnostic("update refused: " + result.status.message());
      Finish(folder, view, result, true, Format(texts::kRunIncomplete, 1, 0));
      return result;
    }
  }
  if (std::optional<size_t> shared = FirstSharedName(folder, manifest.files)) {
    result.outcomes[*shared] = EntryOutcome::kDuplicateName;
    result.failures = 1;
    result.status = Status(StatusCode::kRefused, "the manifest names " + names[*shared].substr(1) + " twice");
    Diagnostic("update refused: " + result.status.message());
    Finish(folder, view, result, true, texts::kRefusedDuplicateName);
    return result;
  }

  int pid = hooks.findWordApp();
  if (pid != -1) hooks.stopWordApp(pid);

  const std::string staging = folder + kStagingFolder;
  Status staged = MakeStagingArea(staging);
  if (!staged.ok()) {
    result.status = staged;
    Diagnostic("update not run: " + staged.message());
    Finish(folder, view, result, true, texts::kFolderNotWritable);
    return result;
  }
  bool failed = false;
  for (size_t index = 0; index < count && !failed; ++index) {
    const int i = static_cast<int>(index) + 1;
    view.BeginEntry(index);
    view.ShowStatus(Gbk(Format(texts::kRunStatus, i, total)));
    view.ShowCurrentFile(folder + names[index]);
    if (IsProtectedName(names[index])) {
      Diagnostic("update skips " + names[index].substr(1) + ": an update never replaces it");
      result.outcomes[index] = EntryOutcome::kProtected;
    } else {
      result.outcomes[index] = StageOneFile(StagedNewPath(staging, names[index]), manifest.files[index], hooks);
      if (result.outcomes[index] != EntryOutcome::kNotInstalled) {
        failed = true;
        ++result.failures;
        break;  // the bar stays where the last good file left it
      }
    }
    view.SetProgress(i * 100 / total);
  }
  if (failed) {
    RemoveStagingArea(staging);
    result.status = Status(StatusCode::kIoError, "a file did not arrive whole");
    Finish(folder, view, result, true, Format(texts::kRunIncomplete, result.failures, 0));
    return result;
  }

  // Every file is here and checked: now, and only now, the installed files
  // change. The copies (and their permission bits) reach the disk first, in
  // one flush.
  std::vector<std::string> installing;
  std::vector<size_t> installingIndex;
  std::vector<bool> existed(count);
  for (size_t index = 0; index < count; ++index) {
    if (result.outcomes[index] != EntryOutcome::kNotInstalled) continue;
    const std::string installed = folder + names[index];
    struct stat st;
    existed[index] = lstat(installed.c_str(), &st) == 0;
    if (!SetModeNoFollow(StagedNewPath(staging, names[index]), InstallMode(installed, DefaultMode(names[index])))) {
      result.outcomes[index] = EntryOutcome::kNotPutInPlace;
      failed = true;
    }
    installing.push_back(names[index]);
    installingIndex.push_back(index);
  }
  if (!failed && !SyncFileSystemOf(staging)) failed = true;
  if (failed) {
    ++result.failures;
    RemoveStagingArea(staging);
    result.status = Status(StatusCode::kIoError, "the new copies cannot be prepared in " + staging);
    Finish(folder, view, result, true, Format(texts::kRunIncomplete, result.failures, 0));
    return result;
  }
  InstallOutcome install = InstallStaged(folder, staging, installing, manifest.newVersion, hooks.rename);
  if (!install.status.ok()) {
    ++result.failures;
    if (install.failedIndex < installingIndex.size())
      result.outcomes[installingIndex[install.failedIndex]] = EntryOutcome::kNotPutInPlace;
    result.status = install.status;
    if (install.undone) {
      Diagnostic("update undone: " + install.status.message());
      RemoveStagingArea(staging);
      Finish(folder, view, result, true, install.journalFailed ? texts::kFolderNotWritable : texts::kInstallUndone);
    } else {
      Diagnostic("update stopped half way; the next run puts the old files back: " + install.status.message());
      Finish(folder, view, result, true, texts::kInterruptedRunStuck);
    }
    return result;
  }
  for (size_t index : installingIndex)
    result.outcomes[index] = existed[index] ? EntryOutcome::kInstalled : EntryOutcome::kAdded;

  result.versionRecorded =
      WriteIniString(folder + kConfigIni, kUpdateSection, kVersionKey, std::to_string(manifest.newVersion));
  // Recorded or not, the new files stay: a later run offers the same version
  // again and puts the same files in place.
  RemoveStagingArea(staging);
  if (!result.versionRecorded) result.status = Status(StatusCode::kIoError, "cannot write " + folder + kConfigIni);
  Finish(folder, view, result, true, texts::kVersionNotRecorded);
  return result;
}

}  // namespace quorvo
