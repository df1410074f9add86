#include "dictserver/dictd_launcher.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>
#include <vector>

#include "base/program_folder.h"
#include "lookup/dictionary_host.h"
#include "lookup/page_fetch.h"

namespace quorvo {

namespace {

using Clock = std::chrono::steady_clock;

bool ConnectWithin(const addrinfo& address, int timeoutMs) {
  int fd = socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address.ai_protocol);
  if (fd < 0) return false;
  bool connected = connect(fd, address.ai_addr, address.ai_addrlen) == 0;
  if (!connected && errno == EINPROGRESS) {
    pollfd entry{fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    connected =
        poll(&entry, 1, timeoutMs) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
  }
  close(fd);
  return connected;
}

// Waits up to timeoutMs for the child to end; true when it has been reaped.
bool ReapWithin(pid_t pid, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    pid_t done = waitpid(pid, nullptr, WNOHANG);
    if (done == pid || (done < 0 && errno == ECHILD)) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// The service's port line, "PORT\n"; 0 when it is not one.
int ReadPortLine(const std::string& line) {
  if (line.empty() || line.size() > 6 || line.back() != '\n') return 0;
  int port = 0;
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    if (line[i] < '0' || line[i] > '9') return 0;
    port = port * 10 + (line[i] - '0');
  }
  return port > 0 && port <= 65535 ? port : 0;
}

}  // namespace

std::string ProgramFolder() {
  std::string folder = ExecutableFolder();
  return folder.empty() ? "." : folder;
}

bool HostAnswers(std::string_view hostPort, int timeoutMs) {
  std::string host;
  int port = 0;
  if (!SplitHostPort(hostPort, &host, &port)) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool answers = false;
  for (addrinfo* candidate = found; candidate && !answers; candidate = candidate->ai_next)
    answers = ConnectWithin(*candidate, timeoutMs);
  freeaddrinfo(found);
  return answers;
}

std::string BundledDictionary::Host() const {
  std::lock_guard lock(hostMutex_);
  return host_;
}

void BundledDictionary::SetHost(std::string host) {
  {
    std::lock_guard lock(hostMutex_);
    host_ = host;
  }
  SetPrivateDictionaryHost(std::move(host));
}

BundledDictionaryState BundledDictionary::Launch(std::string_view configuredHost, const std::string& programFolder) {
  if (!configuredHost.empty()) return BundledDictionaryState::OtherHost;
  if (pid_.load() > 0) return BundledDictionaryState::AlreadyAnswering;

  std::string program = programFolder + "/quorvo-dictd";
  if (access(program.c_str(), X_OK) != 0) return BundledDictionaryState::Failed;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return BundledDictionaryState::Failed;
  // The service writes its port to descriptor 3.
  constexpr int kPortFd = 3;
  // Everything the child needs is made before fork(): between fork() and
  // exec() a threaded parent's child may only make async-signal-safe calls.
  std::vector<char*> argv = {const_cast<char*>("quorvo-dictd"),
                             const_cast<char*>("--address"),
                             const_cast<char*>("127.0.0.1"),
                             const_cast<char*>("--port"),
                             const_cast<char*>("0"),
                             const_cast<char*>("--port-fd"),
                             const_cast<char*>("3"),
                             const_cast<char*>("--quiet")};
  if (!dataFile_.empty()) {
    argv.push_back(const_cast<char*>("--data"));
    argv.push_back(dataFile_.data());
  }
  argv.push_back(nullptr);
  pid_t parent = getpid();
  pid_t child = fork();
  if (child < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return BundledDictionaryState::Failed;
  }
  if (child == 0) {
    // Ended by the system when quorvo's main thread goes, even by a crash.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    // The pipe's write end becomes descriptor 3, open across exec.
    if (pipeFds[1] == kPortFd) {
      if (fcntl(kPortFd, F_SETFD, 0) != 0) _exit(127);
    } else if (dup2(pipeFds[1], kPortFd) != kPortFd) {
      _exit(127);
    }
    int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull >= 0) {
      dup2(devNull, STDIN_FILENO);
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  portPipe_ = pipeFds[0];
  pid_.store(child);
  return BundledDictionaryState::Launched;
}

BundledDictionaryState BundledDictionary::AwaitPort(int waitMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  std::string line;
  int port = 0;
  bool ended = false;  // the pipe closed: the service went without a port
  while (port == 0 && !ended && Clock::now() < deadline && !stopWatching_.load()) {
    pollfd entry{portPipe_, POLLIN, 0};
    int ready = poll(&entry, 1, 50);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    char chunk[16];
    ssize_t n = read(portPipe_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ended = true;
      break;
    }
    line.append(chunk, static_cast<size_t>(n));
    if (line.find('\n') != std::string::npos || line.size() > 8) {
      port = ReadPortLine(line);
      if (port == 0) ended = true;  // not a port: not the service
    }
  }
  close(portPipe_);
  portPipe_ = -1;
  if (port > 0) {
    SetHost("127.0.0.1:" + std::to_string(port));
    return BundledDictionaryState::Started;
  }
  if (stopWatching_.load()) return BundledDictionaryState::Failed;  // Stop() ends it
  EndService();                                                     // it ended (bad data...), or stays silent
  return BundledDictionaryState::Failed;
}

BundledDictionaryState BundledDictionary::Start(std::string_view configuredHost, const std::string& programFolder,
                                                int waitMs) {
  BundledDictionaryState launched = Launch(configuredHost, programFolder);
  if (launched != BundledDictionaryState::Launched) {
    state_.store(launched);
    return launched;
  }
  state_.store(AwaitPort(waitMs));
  return state_.load();
}

BundledDictionaryState BundledDictionary::StartWithoutWaiting(std::string_view configuredHost,
                                                              const std::string& programFolder, int waitMs) {
  BundledDictionaryState launched = Launch(configuredHost, programFolder);
  state_.store(launched);
  if (launched != BundledDictionaryState::Launched) return launched;
  if (watcher_.joinable()) watcher_.join();  // an earlier start's, already done
  try {
    watcher_ = std::thread([this, waitMs] {
      BundledDictionaryState outcome = AwaitPort(waitMs);
      state_.store(outcome);
    });
  } catch (const std::system_error&) {
    // No thread to watch with: wait here, as Start does.
    state_.store(AwaitPort(waitMs));
    return state_.load();
  }
  return launched;
}

void BundledDictionary::EndService() {
  pid_t pid = pid_.exchange(0);
  if (pid <= 0) return;
  SetHost("");
  kill(pid, SIGTERM);
  if (!ReapWithin(pid, 3000)) {
    kill(pid, SIGKILL);
    ReapWithin(pid, 3000);
  }
}

BundledDictionaryState BundledDictionary::Revive(std::string_view configuredHost, const std::string& programFolder,
                                                 int waitMs) {
  std::lock_guard revive(reviveMutex_);
  if (!configuredHost.empty()) return BundledDictionaryState::OtherHost;
  // A first start still loading its data is waited for, not replaced.
  auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  while (state_.load() == BundledDictionaryState::Launched && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // A service of ours that died is reaped, so it does not stay a zombie, and
  // its port, free now for anyone to take, is no longer asked.
  if (pid_t pid = pid_.load(); pid > 0 && waitpid(pid, nullptr, WNOHANG) == pid) {
    pid_.store(0);
    SetHost("");
  }
  std::string host = Host();
  if (pid_.load() > 0 && !host.empty() && HostAnswers(host, 300)) return BundledDictionaryState::AlreadyAnswering;
  EndService();  // one of ours that hangs
  BundledDictionaryState outcome = BundledDictionaryState::Failed;
  RunOnKeeper([&] {
    BundledDictionaryState launched = Launch(configuredHost, programFolder);
    outcome = launched == BundledDictionaryState::Launched ? AwaitPort(waitMs) : launched;
  });
  state_.store(outcome);
  return outcome;
}

void BundledDictionary::RunOnKeeper(const std::function<void()>& job) {
  std::unique_lock lock(keeperMutex_);
  if (keeperStop_) return;
  if (!keeper_.joinable()) {
    try {
      keeper_ = std::thread([this] {
        std::unique_lock keeperLock(keeperMutex_);
        for (;;) {
          keeperWake_.wait(keeperLock, [this] { return keeperStop_ || keeperJob_; });
          // A job handed over runs even when a stop came with it: its caller waits for it.
          if (!keeperJob_) return;
          keeperLock.unlock();
          (*keeperJob_)();
          keeperLock.lock();
          keeperJob_ = nullptr;
          keeperWake_.notify_all();
        }
      });
    } catch (const std::system_error&) {
      return;
    }
  }
  keeperJob_ = &job;
  keeperWake_.notify_all();
  keeperWake_.wait(lock, [this] { return keeperJob_ == nullptr; });
}

void BundledDictionary::StopKeeper() {
  {
    std::lock_guard lock(keeperMutex_);
    keeperStop_ = true;
  }
  keeperWake_.notify_all();
  if (keeper_.joinable()) keeper_.join();
  std::lock_guard lock(keeperMutex_);
  keeperStop_ = false;
}

void BundledDictionary::Stop() {
  stopWatching_.store(true);
  if (watcher_.joinable()) watcher_.join();
  StopKeeper();
  stopWatching_.store(false);
  EndService();
}

}  // namespace quorvo
