#include "update/update_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "base/code_page.h"
#include "base/diagnostics.h"
#include "base/file_util.h"
#include "update/app_folder.h"
#include "update/detached_start.h"
#include "update/download_file.h"
#include "update/file_digest.h"
#include "update/ini_file.h"
#include "update/update_manifest.h"
#include "update/update_names.h"
#include "update/update_texts.h"

namespace quorvo {
namespace {

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// True when the file at path (not a link) has exactly this size and digest.
bool MatchesDigest(const std::string& path, const std::string& sha256, long long size) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != size) return false;
  std::optional<FileDigest> digest = DigestOfFile(path);
  return digest && digest->size == size && digest->sha256 == sha256;
}

std::string PartPath(const std::string& updater) { return updater + ".part"; }

// Downloads renova beside quorvo. The copy is made under a temporary name,
// created fresh, and renamed only when it arrived whole (and, when a digest
// is given, matches it), so a cut or foreign download never passes for the
// program; it is made executable. With a signed size, the first byte
// beyond it ends the download. Whatever fails, the temporary copy goes.
// kRefused when the server's renova is not the signed one.
Status DownloadUpdater(const std::string& serverBase, const std::string& target, DownloadOptions options,
                       const std::string& sha256 = "", long long size = -1) {
  std::string part = PartPath(target);
  unlink(part.c_str());
  if (size >= 0) options.expectedBytes = size;
  Status status = DownloadFile(serverBase + kServerUpdater, part, options);
  if (status.ok() && !sha256.empty() && !MatchesDigest(part, sha256, size))
    status = Status(StatusCode::kRefused, "renova does not match the signed renova_sha256");
  if (status.ok() && chmod(part.c_str(), 0755) != 0) status = ErrnoStatus(errno, part);
  if (status.ok() && rename(part.c_str(), target.c_str()) != 0) status = ErrnoStatus(errno, target);
  if (!status.ok()) unlink(part.c_str());
  return status;
}

bool Ask(const UpdateCheckEnv& env) {
  return env.boxes && env.boxes->Show(BoxKind::Plain, Gbk(texts::kUpdateAvailable)) == kBoxOk;
}

void Start(const UpdateCheckEnv& env, const std::string& updater) {
  if (env.startProgram)
    env.startProgram(updater);
  else
    StartDetached(updater);
}

// The unsigned road, as it always was.
void CheckUnsigned(const UpdateCheckEnv& env, const std::string& folder, const std::string& serverBase) {
  std::string updater = folder + kUpdaterFile;
  std::string manifest = folder + kWebConfigIni;
  if (!FileExists(updater)) {
    DownloadUpdater(serverBase, updater, env.download).IgnoreError();  // the start below then fails
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  unlink(manifest.c_str());
  DownloadOptions capped = env.download;
  capped.maxBytes = kMaxManifestBytes;
  if (!DownloadFile(serverBase + kServerManifest, manifest, capped).ok()) unlink(manifest.c_str());

  int localVersion = ReadIniInt(folder + kConfigIni, kUpdateSection, kVersionKey, 1);
  int newVersion = ReadIniInt(manifest, kUpdateSection, kVersionKey, 1);
  if (localVersion != newVersion && Ask(env)) Start(env, updater);
  unlink(manifest.c_str());
}

void CheckSigned(const UpdateCheckEnv& env, const std::string& folder, const std::string& serverBase) {
  std::string updater = folder + kUpdaterFile;
  FetchManifest(folder, serverBase, env.download);
  // quorvo's version file reads 1 when it has none.
  IniFile config;
  config.Load(folder + kConfigIni);
  int localVersion = config.Int(kUpdateSection, kVersionKey, 1);
  UpdateManifest manifest;
  if (FileExists(folder + kWebConfigIni)) {
    // LoadManifest reads config.ini with 0 as its default; quorvo's own
    // default is 1, so the version is judged here again.
    manifest = LoadManifest(folder, env.trust);
  }
  unlink((folder + kWebConfigIni).c_str());
  unlink((folder + kWebConfigSig).c_str());
  if (!manifest.verified || manifest.newVersion <= localVersion) return;
  if (!Ask(env)) return;
  Status fetched;
  if (!MatchesDigest(updater, manifest.renovaSha256, manifest.renovaSize))
    fetched = DownloadUpdater(serverBase, updater, env.download, manifest.renovaSha256, manifest.renovaSize);
  if (!fetched.ok() || !MatchesDigest(updater, manifest.renovaSha256, manifest.renovaSize)) {
    // The user said yes: whatever stops the update now is told in a box.
    bool refused = fetched.ok() || fetched.code() == StatusCode::kRefused;
    Diagnostic("update not started: " +
               (fetched.ok() ? std::string("renova does not match the signed renova_sha256") : fetched.message()));
    if (env.boxes)
      env.boxes->Show(BoxKind::Application, Gbk(refused ? texts::kUpdaterRefused : texts::kUpdaterNotDownloaded));
    return;
  }
  Start(env, updater);
}

}  // namespace

int CheckForUpdate(const UpdateCheckEnv& env) {
  std::string folder = env.appFolder.empty() ? AppFolder() : env.appFolder;
  std::string serverBase = env.serverBase.empty() ? UpdateServerBase() : env.serverBase;
  if (serverBase.empty()) return 0;  // a build without update server
  // A renova download that a killed quorvo left half done.
  unlink(PartPath(folder + kUpdaterFile).c_str());
  if (env.trust.RefusesEverything()) {
    Diagnostic("update check refused: this build has no release key (configure QUORVO_UPDATE_PUBLIC_KEY)");
    return 0;
  }
  if (env.trust.Signed())
    CheckSigned(env, folder, serverBase);
  else
    CheckUnsigned(env, folder, serverBase);
  return 0;
}

}  // namespace quorvo
