// renova's road without its window: when the window opens, fetch the
// manifest, read and verify it, and look for a running quorvo
// (OpenRenovaRoad); when the user presses Start, run the update the manifest
// offers (RunRenovaRoad). The window calls both on its worker thread and
// shows what they return; the tests and the benchmark call the same two.
//
// Plain functions on the caller's thread; they touch only the given folder
// (and end quorvo during a run, through the hooks).
#pragma once

#include <atomic>
#include <string>

#include "update/download_file.h"
#include "update/update_manifest.h"
#include "update/update_run.h"
#include "update/update_trust.h"

namespace quorvo {

// Where the road reaches out; the defaults are the real ones.
struct RenovaRoadEnv {
  std::string serverBase;  // "http://host[:port]"; empty: nothing is fetched
  UpdateTrust trust = BuiltInUpdateTrust();
  UpdateRunHooks hooks;              // downloads, finding and ending quorvo
  DownloadOptions manifestDownload;  // the manifest and its signature
  DownloadOptions fileDownload;      // each file of a run, unless hooks.download is set
  // When set and it turns true, the transfers under way stop within about
  // a second and no quorvo is looked for; it replaces the options' cancel.
  const std::atomic<bool>* cancel = nullptr;
};

// What the opening found.
struct RenovaOffer {
  UpdateManifest manifest;  // files empty: nothing to update
  int wordAppPid = -1;      // a running quorvo of the folder; -1 for none
};

// Under the folder's lock: finishes or undoes what an interrupted run left,
// fetches the manifest into folder, reads it with env.trust (a manifest that
// offers nothing is deleted) and looks for a running quorvo. While another
// renova holds the lock nothing is touched and the offer is refused with
// kBusy; an interrupted run that can be neither finished nor undone refuses
// it with kUnfinished.
RenovaOffer OpenRenovaRoad(const std::string& folder, const RenovaRoadEnv& env);

// Runs the update of the manifest an opening offered (RunUpdate), its files
// downloaded with env.fileDownload unless env.hooks.download is set.
UpdateRunResult RunRenovaRoad(const std::string& folder, const UpdateManifest& manifest, UpdateRunView& view,
                              const RenovaRoadEnv& env);

}  // namespace quorvo
