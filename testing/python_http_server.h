// PythonHttpServer: an independent, real HTTP server for tests. Starts
// "python3 -m http.server" bound to 127.0.0.1 on a free port, serving one
// folder, and ends it when the object goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quorvo::testing {

class PythonHttpServer {
 public:
  explicit PythonHttpServer(const std::string& root);
  // Another server run by python3 (a script and its arguments) that prints
  // " port N " once it listens; Base() then begins with scheme.
  PythonHttpServer(const std::vector<std::string>& pythonArgs, const std::string& scheme);
  ~PythonHttpServer();
  PythonHttpServer(const PythonHttpServer&) = delete;
  PythonHttpServer& operator=(const PythonHttpServer&) = delete;

  bool running() const { return port_ > 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:<port>" (or the scheme given)
  std::string Base() const;

 private:
  void Start(const std::vector<std::string>& pythonArgs);

  std::string scheme_ = "http";
  pid_t pid_ = -1;
  int port_ = 0;
  int output_ = -1;  // read end of python's standard output
};

}  // namespace quorvo::testing
