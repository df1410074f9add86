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
#include "lookup/page_fetch.h"

#ifndef QUORVO_DICT_HOST_BUILD_DEFAULT
#error "QUORVO_DICT_HOST_BUILD_DEFAULT is set by dictserver/CMakeLists.txt"
#endif

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

}  // namespace

std::string_view BuildDictionaryHost() { return QUORVO_DICT_HOST_BUILD_DEFAULT; }

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

BundledDictionaryState BundledDictionary::Launch(std::string_view configuredHost, std::string_view buildDefault,
                                                 const std::string& programFolder) {
  if (configuredHost != buildDefault) return BundledDictionaryState::OtherHost;
  std::string host;
  int port = 0;
  if (!SplitHostPort(configuredHost, &host, &port)) return BundledDictionaryState::Failed;
  if (pid_.load() > 0 || HostAnswers(configuredHost, 300)) return BundledDictionaryState::AlreadyAnswering;

  std::string program = programFolder + "/quorvo-dictd";
  if (access(program.c_str(), X_OK) != 0) return BundledDictionaryState::Failed;
  // Everything the child needs is made before fork(): between fork() and
  // exec() a threaded parent's child may only make async-signal-safe calls.
  std::string portText = std::to_string(port);
  std::vector<char*> argv = {const_cast<char*>("quorvo-dictd"),
                             const_cast<char*>("--address"),
                             host.data(),
                             const_cast<char*>("--port"),
                             portText.data(),
                             const_cast<char*>("--quiet")};
  if (!dataFile_.empty()) {
    argv.push_back(const_cast<char*>("--data"));
    argv.push_back(dataFile_.data());
  }
  argv.push_back(nullptr);
  pid_t parent = getpid();
  pid_t child = fork();
  if (child < 0) return BundledDictionaryState::Failed;
  if (child == 0) {
    // Ended by the system when quorvo's main thread goes, even by a crash.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
      dup2(devNull, STDIN_FILENO);
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  pid_.store(child);
  return BundledDictionaryState::Launched;
}

BundledDictionaryState BundledDictionary::AwaitAnswer(const std::string& host, int waitMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  while (Clock::now() < deadline && !stopWatching_.load()) {
    pid_t pid = pid_.load();
    if (pid <= 0) return BundledDictionaryState::Failed;
    if (waitpid(pid, nullptr, WNOHANG) == pid) {  // it ended: bad data, port taken...
      pid_.store(0);
      return BundledDictionaryState::Failed;
    }
    if (HostAnswers(host, 100)) return BundledDictionaryState::Started;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (stopWatching_.load()) return BundledDictionaryState::Failed;  // Stop() ends it
  EndService();
  return BundledDictionaryState::Failed;
}

BundledDictionaryState BundledDictionary::Start(std::string_view configuredHost, std::string_view buildDefault,
                                                const std::string& programFolder, int waitMs) {
  BundledDictionaryState launched = Launch(configuredHost, buildDefault, programFolder);
  if (launched != BundledDictionaryState::Launched) {
    state_.store(launched);
    return launched;
  }
  state_.store(AwaitAnswer(std::string(configuredHost), waitMs));
  return state_.load();
}

BundledDictionaryState BundledDictionary::StartWithoutWaiting(std::string_view configuredHost,
                                                              std::string_view buildDefault,
                                                              const std::string& programFolder, int waitMs) {
  BundledDictionaryState launched = Launch(configuredHost, buildDefault, programFolder);
  state_.store(launched);
  if (launched != BundledDictionaryState::Launched) return launched;
  if (watcher_.joinable()) watcher_.join();  // an earlier start's, already done
  try {
    watcher_ = std::thread([this, host = std::string(configuredHost), waitMs] {
      BundledDictionaryState outcome = AwaitAnswer(host, waitMs);
      state_.store(outcome);
    });
  } catch (const std::system_error&) {
    // No thread to watch with: wait here, as Start does.
    state_.store(AwaitAnswer(std::string(configuredHost), waitMs));
    return state_.load();
  }
  return launched;
}

void BundledDictionary::EndService() {
  pid_t pid = pid_.exchange(0);
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  if (!ReapWithin(pid, 3000)) {
    kill(pid, SIGKILL);
    ReapWithin(pid, 3000);
  }
}

BundledDictionaryState BundledDictionary::Revive(std::string_view configuredHost, std::string_view buildDefault,
                                                 const std::string& programFolder, int waitMs) {
  std::lock_guard revive(reviveMutex_);
  if (configuredHost != buildDefault) return BundledDictionaryState::OtherHost;
  // A first start still loading its data is waited for, not replaced.
  auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  while (state_.load() == BundledDictionaryState::Launched && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // A service of ours that died is reaped, so it does not stay a zombie.
  if (pid_t pid = pid_.load(); pid > 0 && waitpid(pid, nullptr, WNOHANG) == pid) pid_.store(0);
  if (HostAnswers(configuredHost, 300)) return BundledDictionaryState::AlreadyAnswering;
  EndService();  // one of ours that hangs
  BundledDictionaryState outcome = BundledDictionaryState::Failed;
  std::string host(configuredHost);
  RunOnKeeper([&] {
    BundledDictionaryState launched = Launch(configuredHost, buildDefault, programFolder);
    outcome = launched == BundledDictionaryState::Launched ? AwaitAnswer(host, waitMs) : launched;
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
