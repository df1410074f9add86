#include "dictserver/tests/dictd_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace quorvo::dictd::testing {

namespace {

pid_t Spawn(const std::vector<std::string>& arguments, int stdoutFd, int stderrFd) {
  std::vector<std::string> all = {DictdPath()};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (stdoutFd >= 0) dup2(stdoutFd, STDOUT_FILENO);
    if (stderrFd >= 0) dup2(stderrFd, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// Reads one line from the descriptor, waiting at most timeoutMs in all.
std::string ReadLine(int fd, int timeoutMs) {
  std::string line;
  char c;
  while (true) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, timeoutMs) != 1) break;
    if (read(fd, &c, 1) != 1 || c == '\n') break;
    line += c;
  }
  return line;
}

}  // namespace

std::string DictdPath() { return std::string(QUORVO_BIN_DIR) + "/quorvo-dictd"; }
std::string BundledDataPath() { return std::string(QUORVO_BIN_DIR) + "/quorvo-dict.tsv"; }

DictdProcess::DictdProcess(std::vector<std::string> extraArguments, const std::string& logPath) {
  int out[2];
  if (pipe(out) != 0) return;
  int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  std::vector<std::string> arguments = {"--address", "127.0.0.1", "--port", "0"};
  arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
  pid_ = Spawn(arguments, out[1], log);
  close(out[1]);
  if (log >= 0) close(log);
  // "quorvo-dictd listening on 127.0.0.1:PORT"
  std::string line = ReadLine(out[0], 20000);
  close(out[0]);
  size_t colon = line.rfind(':');
  if (line.find("listening on") != std::string::npos && colon != std::string::npos)
    port_ = std::atoi(line.c_str() + colon + 1);
}

DictdProcess::~DictdProcess() { Terminate(); }

int DictdProcess::Terminate() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  port_ = 0;
  return status;
}

int RunDictdToEnd(const std::vector<std::string>& arguments) {
  int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  pid_t pid = Spawn(arguments, devNull, devNull);
  close(devNull);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ProgramRequest(int port, const std::string& word) {
  return "GET /m/search?vendor=%24vendor&keyfrom=dict.mresult&q=" + word +
         " HTTP/1.1\r\n"
         "HOST: 127.0.0.1:" +
         std::to_string(port) +
         "\r\n"
         "Accept: */*\r\n"
         "User-Agent: Mozilla/4.0(compatible)\r\n"
         "Connection: close\r\n"
         "\r\n";
}

int ConnectLoopback(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  timeval limit{30, 0};  // a hung server fails the test instead of hanging it
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return fd;
}

std::string Exchange(int port, const std::string& request) {
  int fd = ConnectLoopback(port);
  if (fd < 0) return "";
  size_t sent = 0;
  while (sent < request.size()) {
    ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  std::string answer;
  char buffer[4096];
  ssize_t n;
  while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, static_cast<size_t>(n));
  close(fd);
  return answer;
}

}  // namespace quorvo::dictd::testing
