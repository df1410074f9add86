// Test helpers around a real quorvo-dictd: the process on a free loopback
// port, a raw-socket client, and the way quorvo reads and cuts an answer.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quorvo::dictd::testing {

// The quorvo-dictd of this build and the data installed beside it.
std::string DictdPath();
std::string BundledDataPath();

// quorvo-dictd started with --port 0 on 127.0.0.1; its log (standard error)
// goes to logPath. The destructor ends it with SIGTERM.
class DictdProcess {
 public:
  DictdProcess(std::vector<std::string> extraArguments, const std::string& logPath);
  ~DictdProcess();
  DictdProcess(const DictdProcess&) = delete;
  DictdProcess& operator=(const DictdProcess&) = delete;

  bool running() const { return port_ > 0; }
  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  // Sends SIGTERM and returns the exit status (as waitpid gives it).
  int Terminate();

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// Runs quorvo-dictd with the arguments to its end; returns its exit code.
int RunDictdToEnd(const std::vector<std::string>& arguments);

// The request quorvo sends for a word.
std::string ProgramRequest(int port, const std::string& word);

// Connects to 127.0.0.1:port, sends the bytes and reads until the server
// closes; "" when the connection fails.
std::string Exchange(int port, const std::string& request);

// A connected socket (or -1); the caller closes it.
int ConnectLoopback(int port);

}  // namespace quorvo::dictd::testing
