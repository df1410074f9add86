// UpdateRun: renova's update run, the work behind its Start button, kept
// apart from the window so that it can be driven and checked without one.
//
// All or nothing. For every listed file, in order: show "当前升级状态： i/n"
// and the target path, download the file into a fresh staging folder inside
// the AppFolder and check it against the manifest's digest and size (both
// required on the signed road). The bar advances to i*100/n. Only when
// every file arrived and matched is each put in place with one rename
// (permission bits of the installed file, or 0755 for the programs and 0644
// for the rest when there is none; files new in this version get their real
// names) and then the new version written to config.ini. A run that fails
// stops at the first failing file, changes no installed file, records
// nothing and says so on the status line; the next run clears the staging
// folder first. The word banks (dict_main.db and its journals) and
// config.ini are never replaced: such entries are skipped with a line on
// stdout. At the end the bar is set to 100, Exit is enabled, Start
// disabled and webconfig.ini deleted.
//
// Runs on the caller's thread (renova: a worker of its window); the view is
// called on that thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

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

// The run's ways out to the network and to other processes; an empty one
// means the real thing (DownloadFile, and FindWordAppProcess and StopWordApp
// for the run's folder).
struct UpdateRunHooks {
  std::function<bool(const std::string& url, const std::string& path)> download;
  std::function<int()> findWordApp;  // a process id, -1 for none
  std::function<void(int pid)> stopWordApp;
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
};

struct UpdateRunResult {
  std::vector<EntryOutcome> outcomes;  // one per listed file, in order
  int failures = 0;
  bool versionRecorded = false;
};

UpdateRunResult RunUpdate(const std::string& folder, const UpdateManifest& manifest, UpdateRunView& view,
                          const UpdateRunHooks& hooks = UpdateRunHooks());

// The URL's text from its last "/" on, that "/" included; empty when the
// URL holds no "/".
std::string LocalNameOfUrl(const std::string& url);
// True for the names an update may never replace: "/config.ini" and the
// word banks ("/dict_main.db" and its journals).
bool IsProtectedName(const std::string& localName);
// The name a file is installed under: the published name of the word
// application ("/lexmuse") becomes its own ("/quorvo").
std::string InstalledName(const std::string& localName);
// True when the name (after its leading "/") is a plain file name once
// percent-decoded: not empty, not "." or "..", no "/", "\" or NUL.
bool IsPlainFileName(const std::string& localName);

}  // namespace quorvo
