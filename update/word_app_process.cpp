#include "update/word_app_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "update/update_names.h"

namespace quorvo {
namespace {

constexpr int kStopExitStatus = 4;

void ExitOnStop(int) { _exit(kStopExitStatus); }

// The stop handler's pipe: the signal handler writes one byte, the stop
// thread reads it.
int stopPipe[2] = {-1, -1};

void WakeStopThread(int) {
  int saved = errno;
  char byte = 1;
  (void)!write(stopPipe[1], &byte, 1);
  errno = saved;
}

const std::string kDeletedMark = " (deleted)";

// The path /proc/<pid>/exe points to, without the kernel's mark for a file
// replaced on disk; empty when it cannot be read.
std::string ExecutablePathOf(int pid) {
  std::string link = "/proc/" + std::to_string(pid) + "/exe";
  std::vector<char> buffer(PATH_MAX + 32);
  ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return "";
  std::string path(buffer.data(), static_cast<size_t>(n));
  if (path.size() > kDeletedMark.size() &&
      path.compare(path.size() - kDeletedMark.size(), kDeletedMark.size(), kDeletedMark) == 0)
    path.resize(path.size() - kDeletedMark.size());
  return path;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

std::vector<int> ProcessIds() {
  std::vector<int> pids;
  std::unique_ptr<DIR, DirCloser> proc(opendir("/proc"));
  if (!proc) return pids;
  while (dirent* entry = readdir(proc.get())) {
    const char* name = entry->d_name;
    if (*name < '1' || *name > '9') continue;
    int pid = 0;
    bool numeric = true;
    for (const char* p = name; *p && numeric; ++p) {
      if (*p < '0' || *p > '9')
        numeric = false;
      else
        pid = pid * 10 + (*p - '0');
    }
    if (numeric) pids.push_back(pid);
  }
  std::sort(pids.begin(), pids.end());
  return pids;
}

// The one-letter state of /proc/<pid>/stat, after the parenthesised name
// (which may itself hold spaces and parentheses).
char ProcessState(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(in, stat);
  size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return '?';
  return stat[close + 2];
}

// For processes whose executable link we may not read: the name the kernel
// keeps for it (the executable's file name, cut to 15 bytes).
std::string CommandNameOf(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

}  // namespace

std::string ExecutableNameOf(int pid) {
  std::string link = "/proc/" + std::to_string(pid) + "/exe";
  std::vector<char> buffer(4096);
  ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size());
  if (n < 0) return errno == EACCES ? CommandNameOf(pid) : "";
  std::string path(buffer.data(), static_cast<size_t>(std::min<ssize_t>(n, buffer.size())));
  // An executable replaced on disk while it runs (as renova does) still
  // names the process; the kernel marks its old path.
  static const std::string kDeleted = " (deleted)";
  if (path.size() > kDeleted.size() && path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
    path.resize(path.size() - kDeleted.size());
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int FindProcessByName(const std::string& name, const std::function<bool(int pid)>& accept) {
  for (int pid : ProcessIds()) {
    if (accept && !accept(pid)) continue;
    std::string executable = ExecutableNameOf(pid);
    if (executable.empty() || strcasecmp(executable.c_str(), name.c_str()) != 0) continue;
    char state = ProcessState(pid);
    if (state == 'Z' || state == 'X') continue;
    return pid;
  }
  return -1;
}

bool IsWordAppOf(int pid, const std::string& appFolder) {
  if (pid <= 0) return false;
  struct stat st;
  if (stat(("/proc/" + std::to_string(pid)).c_str(), &st) != 0 || st.st_uid != geteuid()) return false;
  std::string folder = RealPath(appFolder.empty() ? "." : appFolder);
  if (folder.empty()) return false;
  std::string executable = ExecutablePathOf(pid);
  if (executable.empty() || executable != (folder == "/" ? "" : folder) + "/" + kWordAppExe) return false;
  char state = ProcessState(pid);
  return state != 'Z' && state != 'X' && state != '?';
}

int FindWordAppProcess(const std::string& appFolder) {
  for (int pid : ProcessIds())
    if (IsWordAppOf(pid, appFolder)) return pid;
  return -1;
}

namespace {

// True once the process has ended: gone, or a zombie waiting for its parent.
bool Ended(int pid) {
  char state = ProcessState(pid);
  return state == '?' || state == 'Z' || state == 'X';
}

bool WaitForEnd(int pid, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (Ended(pid)) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

bool StopWordApp(int pid, const std::string& appFolder, std::chrono::milliseconds patience) {
  if (!IsWordAppOf(pid, appFolder)) return false;  // never a process group, another user's or another folder's
  kill(pid, SIGTERM);
  if (WaitForEnd(pid, patience)) return true;
  kill(pid, SIGKILL);
  return WaitForEnd(pid, std::chrono::milliseconds(1000));
}

void InstallStopHandler(std::function<void()> onStop, std::chrono::milliseconds grace) {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  if (!onStop || pipe2(stopPipe, O_CLOEXEC) != 0) {
    action.sa_handler = ExitOnStop;
    sigaction(SIGTERM, &action, nullptr);
    return;
  }
  std::thread([onStop = std::move(onStop), grace] {
    char byte;
    while (read(stopPipe[0], &byte, 1) != 1) {
      if (errno != EINTR) return;
    }
    onStop();
    std::this_thread::sleep_for(grace);
    _exit(kStopExitStatus);
  }).detach();
  action.sa_handler = WakeStopThread;
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace quorvo
