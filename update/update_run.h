// UpdateRun: renova's update run, the work behind its Start button, kept
// apart from the window so that it can be driven and checked without one.
//
// All or nothing. The run takes the folder's lock (one renova at a time; a
// second one says so and changes nothing), finishes or undoes what an
// interrupted run left (install_journal.h), and refuses a manifest whose
// entries name a file outside the folder or one file twice before anything
// is downloaded. Then, for every listed file, in order: show
// "当前升级状态： i/n" and the target path, download the file into a fresh
// staging folder inside the AppFolder, never more bytes than its published
// size, and check it against the manifest's digest and size (both required
// on the signed road); the bar advances to i*100/n. Only when every file
// arrived and matched are they put in place (InstallStaged: each installed
// file moved aside, the new copy renamed in, everything put back when one
// rename fails; permission bits of the installed file, or 0755 for the
// programs and 0644 for the rest) and then the new version written to
// config.ini. A run that fails stops at the first failing file, changes no
// installed file, records nothing, sets the bar back to 0 and says so on the
// status line. The word banks (dict_main.db and its journals) and
// config.ini are never replaced: such entries are skipped (a diagnostic
// line says so). At the end Exit is enabled, Start disabled and
// webconfig.ini deleted; the bar shows 100 only when the version is
// recorded.
//
// Runs on the caller's thread (renova: a worker of its window); the view is
// called on that thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "base/status.h"
#include "update/download_file.h"
#include "update/install_journal.h"
#include "update/install_names.h"
#include "update/update_manifest.h"

namespace quorvo {

// What the run shows. Texts for the status line are GBK; paths are bytes of
// the file system.
class UpdateRunView {
 public:
  virtual ~UpdateRunView() = default;
  virtual void BeginEntry(size_t /*index*/) {}
  virtual void ShowStatus(const std::string& gbkText) = 0;    // control 1002
  virtual void ShowCurrentFile(const std::string& path) = 0;  // control 1000
  virtual void SetProgress(int position) = 0;                 // the bar (1001)
  virtual void EnableStart(bool enabled) = 0;                 // button 1
  virtual void EnableExit(bool enabled) = 0;                  // button 2
};

// A view nobody looks at: the run goes on without showing anything.
class SilentUpdateRunView : public UpdateRunView {
 public:
  void ShowStatus(const std::string&) override {}
  void ShowCurrentFile(const std::string&) override {}
  void SetProgress(int) override {}
  void EnableStart(bool) override {}
  void EnableExit(bool) override {}
};

// The run's ways out to the network, to other processes and to the file
// system's renames; an empty one means the real thing (DownloadFile with
// downloadOptions and the entry's published size as its exact size,
// FindWordAppProcess and StopWordApp for the run's folder, rename(2)).
struct UpdateRunHooks {
  std::function<Status(const std::string& url, const std::string& path)> download;
  DownloadOptions downloadOptions;   // for the real download
  std::function<int()> findWordApp;  // a process id, -1 for none
  std::function<void(int pid)> stopWordApp;
  RenameFunction rename;  // the renames of the install step (a fault seam)
};

enum class EntryOutcome {
  kInstalled,       // the new copy replaced the installed file
  kAdded,           // not installed before: the new copy has its real name
  kDownloadFailed,  // nothing changed
  kRefused,         // digest or size differ from the manifest: deleted
  kNotPutInPlace,   // the rename failed: the installed file is unchanged
  kUnsafeName,      // the URL names no plain file of the folder
  kProtected,       // a word bank or config.ini: skipped, never replaced
  kNotInstalled,    // arrived whole, but the run failed elsewhere
  kNotAttempted,    // after an earlier failure, not downloaded
  kDuplicateName,   // one file with an earlier entry: the manifest is refused
};

struct UpdateRunResult {
  std::vector<EntryOutcome> outcomes;  // one per listed file, in order
  int failures = 0;
  bool versionRecorded = false;
  // Ok when the version is recorded; otherwise why not (kBusy: another
  // renova holds the folder; kRefused: a name the run refuses).
  Status status;
};

UpdateRunResult RunUpdate(const std::string& folder, const UpdateManifest& manifest, UpdateRunView& view,
                          const UpdateRunHooks& hooks = UpdateRunHooks());

}  // namespace quorvo
