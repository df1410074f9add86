#include "update/tests/update_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "update/release_signature.h"

extern char** environ;

namespace quorvo::testing {

int ParentOf(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(in, stat);
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  // ") S <ppid> ..."
  size_t start = stat.find(' ', close + 2);
  if (start == std::string::npos) return -1;
  return std::atoi(stat.c_str() + start + 1);
}

bool IsChildOfThisProcess(int pid) { return ParentOf(pid) == getpid(); }

FakeWordApp::FakeWordApp(const std::string& folder, const std::string& name, const std::string& mode) {
  std::string path = folder + "/" + name;
  std::filesystem::copy_file(FAKE_WORD_APP, path, std::filesystem::copy_options::overwrite_existing);
  chmod(path.c_str(), 0755);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  char* argv[] = {const_cast<char*>(path.c_str()), mode.empty() ? nullptr : const_cast<char*>(mode.c_str()), nullptr};
  int error = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (error != 0) {
    pid_ = -1;
    close(out[0]);
    return;
  }
  // Ready once the stop handler is installed: only then does SIGTERM give 4.
  pollfd fd{out[0], POLLIN, 0};
  char buffer[16];
  ready_ = poll(&fd, 1, 20000) > 0 && read(out[0], buffer, sizeof buffer) > 0;
  close(out[0]);
}

FakeWordApp::~FakeWordApp() {
  if (pid_ <= 0 || reaped_) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

int FakeWordApp::WaitForExit() {
  if (pid_ <= 0) return -1;
  for (int waited = 0; waited < 2000 && Running(); ++waited) usleep(10000);
  if (!reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    reaped_ = true;
  }
  return exitStatus_;
}

bool FakeWordApp::Running() {
  if (pid_ <= 0 || reaped_) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    reaped_ = true;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
  }
  return true;
}

std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::string name = entry.path().filename();
    if (entry.is_symlink()) {
      files[name] = "link to " + std::filesystem::read_symlink(entry.path()).string();
    } else if (entry.is_directory()) {
      files[name] = "folder";
    } else {
      std::ifstream in(entry.path(), std::ios::binary);
      files[name] = std::string(std::istreambuf_iterator<char>(in), {});
    }
  }
  return files;
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

UpdateManifest Offer(int version, std::vector<ManifestEntry> files) {
  UpdateManifest manifest;
  manifest.newVersion = version;
  manifest.files = std::move(files);
  return manifest;
}

TestReleaseKey::TestReleaseKey() {
  std::optional<ReleaseKeyPair> pair = GenerateReleaseKeyPair();
  if (!pair) return;
  secret = pair->secret;
  publicKey = pair->publicKey;
}

UpdateTrust TestReleaseKey::Trust() const {
  UpdateTrust trust;
  trust.publicKey = publicKey;
  return trust;
}

std::string TestReleaseKey::PublicBase64() const { return Base64Encode(publicKey); }

std::string TestReleaseKey::Sign(const std::string& bytes) const {
  std::optional<std::string> signature = SignRelease(secret, bytes);
  return signature ? Base64Encode(*signature) + "\n" : "";
}

std::string SignedManifestText(int version, const std::vector<std::pair<std::string, std::string>>& files,
                               const std::string& renovaContent, const std::string& expires) {
  std::string text =
      "[update]\nversion=" + std::to_string(version) + "\nfile_count=" + std::to_string(files.size()) + "\n";
  int n = 0;
  for (const auto& [url, content] : files) {
    std::string i = std::to_string(++n);
    text += "file_" + i + "=" + url + "\nsha256_" + i + "=" + Sha256HexOf(content) + "\nsize_" + i + "=" +
            std::to_string(content.size()) + "\n";
  }
  text +=
      "renova_sha256=" + Sha256HexOf(renovaContent) + "\nrenova_size=" + std::to_string(renovaContent.size()) + "\n";
  text += "expires=" + expires + "\n";
  return text;
}

}  // namespace quorvo::testing
