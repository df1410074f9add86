#include "update/renova_road.h"

#include "base/diagnostics.h"
#include "update/install_journal.h"
#include "update/renova_lock.h"
#include "update/word_app_process.h"

namespace quorvo {
namespace {

DownloadOptions WithCancel(DownloadOptions options, const RenovaRoadEnv& env) {
  if (env.cancel) options.cancel = env.cancel;
  return options;
}

bool Cancelled(const RenovaRoadEnv& env) { return env.cancel && env.cancel->load(); }

}  // namespace

RenovaOffer OpenRenovaRoad(const std::string& folder, const RenovaRoadEnv& env) {
  RenovaOffer offer;
  Result<RenovaFolderLock> lock = RenovaFolderLock::Take(folder);
  if (!lock.ok() && lock.status().code() == StatusCode::kBusy) {
    // Another renova is fetching or updating: its files are left alone.
    Diagnostic("renova: " + lock.status().message());
    offer.manifest.refusal = ManifestRefusal::kBusy;
    return offer;
  }
  // A folder where no lock file can be made cannot be updated either; the
  // manifest is read all the same, to say what is on offer.
  if (lock.ok()) {
    Result<Recovery> recovery = RecoverInterruptedRun(folder);
    if (!recovery.ok()) {
      Diagnostic("renova: an interrupted update can be neither finished nor undone: " + recovery.status().message());
      offer.manifest.refusal = ManifestRefusal::kUnfinished;
      return offer;
    }
    if (*recovery == Recovery::kUndone) Diagnostic("renova: an interrupted update was undone");
    if (*recovery == Recovery::kCompleted) Diagnostic("renova: an interrupted update was completed");
  }
  FetchManifest(folder, env.serverBase, WithCancel(env.manifestDownload, env));
  offer.manifest = LoadManifest(folder, env.trust);
  if (!Cancelled(env)) offer.wordAppPid = env.hooks.findWordApp ? env.hooks.findWordApp() : FindWordAppProcess(folder);
  return offer;
}

UpdateRunResult RunRenovaRoad(const std::string& folder, const UpdateManifest& manifest, UpdateRunView& view,
                              const RenovaRoadEnv& env) {
  UpdateRunHooks hooks = env.hooks;
  hooks.downloadOptions = WithCancel(env.fileDownload, env);
  return RunUpdate(folder, manifest, view, hooks);
}

}  // namespace quorvo
