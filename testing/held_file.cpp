#include "testing/held_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvo::testing {

HeldFile::HeldFile(const std::string& path, Kind kind) {
  const char* script =
      "import sqlite3, sys\n"
      "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
      "c.execute({'exclusive': 'BEGIN EXCLUSIVE', 'writing': 'BEGIN IMMEDIATE', 'reading': 'BEGIN'}[sys.argv[2]])\n"
      "c.execute('SELECT count(*) FROM sqlite_master').fetchall()\n"
      "print('locked', flush=True)\n"
      "sys.stdin.readline()\n"
      "c.execute('COMMIT')\n"
      "print('released', flush=True)\n";
  const char* kindName = kind == Kind::kExclusive ? "exclusive" : kind == Kind::kWriting ? "writing" : "reading";
  int toChild[2], fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) return;
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    // Debian's own python3 first: a version manager's shim in PATH can take
    // a second to start.
    execl("/usr/bin/python3", "python3", "-c", script, path.c_str(), kindName, nullptr);
    execlp("python3", "python3", "-c", script, path.c_str(), kindName, nullptr);
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  in_ = toChild[1];
  out_ = fromChild[0];
  held_ = pid_ > 0 && ReadLine() == "locked";
}

HeldFile::~HeldFile() {
  if (releaser_.joinable()) releaser_.join();
  Release();
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (in_ >= 0) close(in_);
  if (out_ >= 0) close(out_);
}

bool HeldFile::Release() {
  if (!held_) return false;
  held_ = false;
  if (write(in_, "\n", 1) != 1) return false;
  bool released = ReadLine() == "released";
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  return released;
}

void HeldFile::ReleaseAfter(std::chrono::milliseconds delay) {
  releaser_ = std::thread([this, delay] {
    std::this_thread::sleep_for(delay);
    Release();
  });
}

std::string HeldFile::ReadLine() {
  std::string line;
  char c;
  while (read(out_, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

}  // namespace quorvo::testing
