// PythonHttpServer: an independent, real HTTP server for tests. Starts
// "python3 -m http.server" bound to 127.0.0.1 on a free port, serving one
// folder, and ends it when the object goes.
#pragma once

#include <sys/types.h>

#include <string>

namespace quorvo::testing {

class PythonHttpServer {
 public:
  explicit PythonHttpServer(const std::string& root);
  ~PythonHttpServer();
  PythonHttpServer(const PythonHttpServer&) = delete;
  PythonHttpServer& operator=(const PythonHttpServer&) = delete;

  bool running() const { return port_ > 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:<port>"
  std::string Base() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  int output_ = -1;  // read end of python's standard output
};

}  // namespace quorvo::testing
