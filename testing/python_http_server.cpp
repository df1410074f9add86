#include "python_http_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>

extern char** environ;

namespace quorvo::testing {

PythonHttpServer::PythonHttpServer(const std::string& root) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  // -u: the "Serving HTTP on ... port N" line must not wait in a buffer.
  const char* argv[] = {"python3",   "-u",          "-m",         "http.server", "--bind",
                        "127.0.0.1", "--directory", root.c_str(), "0",           nullptr};
  int error = posix_spawnp(&pid_, "python3", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (error != 0) {
    pid_ = -1;
    close(out[0]);
    return;
  }
  std::string output;
  static const std::regex kPortLine(R"(port (\d+) )");
  std::smatch match;
  while (!std::regex_search(output, match, kPortLine)) {
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
  if (std::regex_search(output, match, kPortLine)) port_ = std::atoi(match[1].str().c_str());
}

PythonHttpServer::~PythonHttpServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  if (output_ >= 0) close(output_);
}

std::string PythonHttpServer::Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

}  // namespace quorvo::testing
