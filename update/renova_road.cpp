#include "update/renova_road.h"

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
  FetchManifest(folder, env.serverBase, WithCancel(env.manifestDownload, env));
  RenovaOffer offer;
  offer.manifest = LoadManifest(folder, env.trust);
  if (!Cancelled(env)) offer.wordAppPid = env.hooks.findWordApp ? env.hooks.findWordApp() : FindWordAppProcess(folder);
  return offer;
}

UpdateRunResult RunRenovaRoad(const std::string& folder, const UpdateManifest& manifest, UpdateRunView& view,
                              const RenovaRoadEnv& env) {
  UpdateRunHooks hooks = env.hooks;
  if (!hooks.download) {
    DownloadOptions options = WithCancel(env.fileDownload, env);
    hooks.download = [options](const std::string& url, const std::string& path) {
      return DownloadFile(url, path, options);
    };
  }
  return RunUpdate(folder, manifest, view, hooks);
}

}  // namespace quorvo
