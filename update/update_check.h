// CheckForUpdate: quorvo's once-per-start question to the update server.
//
// Runs on a thread of its own. Without an update server it does nothing.
// It downloads the manifest (and its signature), and asks the user through
// boxes (the window side shows the box) when there is a new version, then
// starts renova as a separate process. Returns 0.
//
// Signed road: only a manifest signed by the release key, not expired, with
// a version above the installed one is offered, and renova is started only
// when the file matches the signed renova_sha256 and renova_size (a missing
// or different renova is downloaded fresh first, never beyond the signed
// size); when it does not, a box says so. Unsigned road: renova is
// downloaded when missing, and differing versions are offered. A build with
// neither key nor unsigned road checks nothing and says so in a diagnostic
// line. A renova.part that an earlier check left (quorvo ended in the
// middle of the download) is removed first.
#pragma once

#include <functional>
#include <string>

#include "base/message_boxes.h"
#include "update/download_file.h"
#include "update/update_trust.h"

namespace quorvo {

struct UpdateCheckEnv {
  std::string appFolder;          // empty: the folder of the running executable
  std::string serverBase;         // empty: UpdateServerBase()
  MessageBoxes* boxes = nullptr;  // null: nobody to ask, nothing is started
  // Starts the program detached and returns at once; empty: the default.
  std::function<bool(const std::string& program)> startProgram;
  UpdateTrust trust = BuiltInUpdateTrust();
  DownloadOptions download;  // for every transfer of the check
};

int CheckForUpdate(const UpdateCheckEnv& env);

}  // namespace quorvo
