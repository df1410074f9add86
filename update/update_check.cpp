#include "update_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "app_folder.h"
#include "code_page.h"
#include "detached_start.h"
#include "download_file.h"
#include "ini_file.h"
#include "update_names.h"
#include "update_texts.h"

namespace quorvo {
namespace {

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Downloads renova beside quorvo. The copy is made under a temporary name
// and renamed only when it arrived whole, so a cut download never passes for
// the program (it would never be fetched again); it is made executable.
void DownloadUpdater(const std::string& serverBase, const std::string& target) {
  std::string part = target + ".part";
  if (DownloadFile(serverBase + kServerUpdater, part) && chmod(part.c_str(), 0755) == 0 &&
      rename(part.c_str(), target.c_str()) == 0)
    return;
  unlink(part.c_str());
}

}  // namespace

int CheckForUpdate(const UpdateCheckEnv& env) {
  std::string folder = env.appFolder.empty() ? AppFolder() : env.appFolder;
  std::string serverBase = env.serverBase.empty() ? UpdateServerBase() : env.serverBase;
  std::string updater = folder + kUpdaterFile;
  std::string manifest = folder + kWebConfigIni;

  if (!FileExists(updater)) {
    DownloadUpdater(serverBase, updater);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  DownloadFile(serverBase + kServerManifest, manifest);

  int localVersion = ReadIniInt(folder + kConfigIni, kUpdateSection, kVersionKey, 1);
  int newVersion = ReadIniInt(manifest, kUpdateSection, kVersionKey, 1);
  if (localVersion != newVersion && env.boxes &&
      env.boxes->Show(BoxKind::Plain, Gbk(texts::kUpdateAvailable)) == kBoxOk) {
    if (env.startProgram)
      env.startProgram(updater);
    else
      StartDetached(updater);
  }
  unlink(manifest.c_str());
  return 0;
}

}  // namespace quorvo
