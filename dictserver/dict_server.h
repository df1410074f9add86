// DictServer: quorvo-dictd's listening socket and its connections.
//
// Run() accepts connections on the thread that calls it and serves each one
// on a thread of its own, at most maxConnections at once; a connection over
// that bound is answered 503 at once. A connection gets one answer and is
// closed (HTTP/1.1 with "Connection: close"). A client that has not sent its
// whole request head within readTimeoutMs gets 408 and is closed, so a silent
// client holds a thread for that long at most.
//
// Stop() may be called from any thread and from a signal handler. The
// destructor stops the server and waits for every connection thread; the
// Dictionary must outlive the server.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>

#include "unique_fd.h"

#include "dictionary.h"

namespace quorvo::dictd {

inline constexpr int kDefaultPort = 8666;

struct ServerOptions {
  std::string address = "127.0.0.1";  // numeric (or "localhost"); loopback unless told otherwise
  int port = kDefaultPort;            // 0: any free port (see DictServer::port)
  size_t maxConnections = 64;
  int readTimeoutMs = 5000;
  std::FILE* log = stderr;  // one line per request; nullptr for none
};

class DictServer {
 public:
  DictServer(const Dictionary& dictionary, ServerOptions options);
  ~DictServer();
  DictServer(const DictServer&) = delete;
  DictServer& operator=(const DictServer&) = delete;

  // Binds and listens; false with the reason in *error.
  bool Listen(std::string* error);
  // The port bound by Listen().
  int port() const { return port_; }
  // Serves until Stop(); returns at once when Listen() did not succeed.
  void Run();
  // Ends Run(); async-signal-safe.
  void Stop();

 private:
  void Serve(int fd, std::string peer);
  void Log(const std::string& peer, int status, const std::string& what);
  void ConnectionEnded();

  const Dictionary& dictionary_;
  const ServerOptions options_;
  UniqueFd listener_;
  UniqueFd wakeRead_;
  UniqueFd wakeWrite_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};

  std::mutex mutex_;
  std::condition_variable idle_;
  size_t active_ = 0;  // connection threads running; guarded by mutex_
};

}  // namespace quorvo::dictd
