// Helpers of the update tests: processes standing in for quorvo, files with
// permission bits.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "update/update_manifest.h"

namespace quorvo::testing {

// An offer of the given version with these files, as LoadManifest makes it.
UpdateManifest Offer(int version, std::vector<ManifestEntry> files);

// A release key pair made for one test, and what the publisher does with it.
struct TestReleaseKey {
  TestReleaseKey();               // a fresh pair
  std::string secret, publicKey;  // raw bytes
  UpdateTrust Trust() const;      // the signed road with this key
  std::string PublicBase64() const;
  // The base64 signature of exactly these bytes, as webconfig.ini.sig holds it.
  std::string Sign(const std::string& bytes) const;
};

// A date no test reaches, for manifests that are not about expiry.
inline constexpr char kFarExpiry[] = "2999-12-31";

// The body of a signed-road manifest: version, file_count, and for each
// (url, content) file_N, sha256_N and size_N; renova's digest and size from
// renovaContent; the expiry date.
std::string SignedManifestText(int version, const std::vector<std::pair<std::string, std::string>>& files,
                               const std::string& renovaContent, const std::string& expires = kFarExpiry);

// The parent process id from /proc/<pid>/stat; -1 when unreadable.
int ParentOf(int pid);
// True for the processes this test started: the only ones a test may look
// for or end.
bool IsChildOfThisProcess(int pid);

// A copy of fake_word_app under a chosen name, started and running with its
// stop handler installed. Ended with SIGKILL when the object goes, if it is
// still running.
class FakeWordApp {
 public:
  // Copies the stand-in to folder + "/" + name and starts it; mode is its
  // argument ("--ignore-stop", "--stuck-on-stop"), none when empty.
  FakeWordApp(const std::string& folder, const std::string& name, const std::string& mode = "");
  ~FakeWordApp();
  FakeWordApp(const FakeWordApp&) = delete;
  FakeWordApp& operator=(const FakeWordApp&) = delete;

  int pid() const { return pid_; }
  bool ready() const { return ready_; }
  // Waits for the process to end (killing it after 20 s so a test never
  // hangs) and returns its exit status, or -1 when a signal ended it.
  int WaitForExit();
  // True while it has not ended.
  bool Running();

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
  bool reaped_ = false;
  int exitStatus_ = -1;
};

// Every entry of a folder (links as their target text, folders as "folder"),
// by name.
std::map<std::string, std::string> Snapshot(const std::string& folder);

mode_t ModeOf(const std::string& path);
bool Exists(const std::string& path);

}  // namespace quorvo::testing
