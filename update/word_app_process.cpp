#include "word_app_process.h"

#include <dirent.h>
#include <signal.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>
#include <vector>

#include "update_names.h"

namespace quorvo {
namespace {

constexpr int kStopExitStatus = 4;

void ExitOnStop(int) { _exit(kStopExitStatus); }

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

int FindWordAppProcess() { return FindProcessByName(kWordAppExe); }

void StopWordApp(int pid) {
  if (pid <= 0) return;  // never a process group or every process
  kill(pid, SIGTERM);
}

void InstallStopHandler() {
  struct sigaction action {};
  action.sa_handler = ExitOnStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace quorvo
