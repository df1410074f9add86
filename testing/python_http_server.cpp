#include "testing/python_http_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace quorvo::testing {

PythonHttpServer::PythonHttpServer(const std::string& root) {
  Start({"-m", "http.server", "--bind", "127.0.0.1", "--directory", root, "0"});
}

PythonHttpServer::PythonHttpServer(const std::vector<std::string>& pythonArgs, const std::string& scheme)
    : scheme_(scheme) {
  Start(pythonArgs);
}

void PythonHttpServer::Start(const std::vector<std::string>& pythonArgs) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  // -u: the "Serving HTTP on ... port N" line must not wait in a buffer.
  std::vector<const char*> argv = {"python3", "-u"};
  for (const std::string& arg : pythonArgs) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  int error = posix_spawnp(&pid_, "python3", &actions, nullptr, const_cast<char**>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (error != 0) {
    pid_ = -1;
    close(out[0]);
    return;
  }
  // "Serving HTTP on 127.0.0.1 port 45207 (http://127.0.0.1:45207/) ..."
  auto portIn = [](const std::string& text) {
    size_t at = text.find(" port ");
    if (at == std::string::npos) return 0;
    size_t digits = at + 6, end = digits;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == digits || end == text.size()) return 0;  // the number may not be whole yet
    return std::atoi(text.substr(digits, end - digits).c_str());
  };
  std::string output;
  while (portIn(output) == 0) {
    pollfd fd{out[0], POLLIN, 0};
    if (poll(&fd, 1, 15000) <= 0) break;
    char buffer[256];
    ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    output.append(buffer, static_cast<size_t>(n));
  }
  // Kept open while the server runs: python ends with a broken pipe when
  // the rest of its line (or anything later) meets a closed one.
  output_ = out[0];
  port_ = portIn(output);
}

PythonHttpServer::~PythonHttpServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  if (output_ >= 0) close(output_);
}

std::string PythonHttpServer::Base() const { return scheme_ + "://127.0.0.1:" + std::to_string(port_); }

}  // namespace quorvo::testing
