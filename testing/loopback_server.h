// LoopbackServer: a real TCP server on 127.0.0.1 for tests, on a free port.
//
// Every accepted connection is handed to the test's handler on a thread of
// its own, so a handler may block (wait for a Checkpoint, stay silent) while
// other connections are served. The handler decides everything the peer
// sees: what is sent, in which pieces, with which pauses, and when the
// connection closes. Stop() (and destruction) stops accepting and waits for
// every handler to return, so a handler must not wait for something that
// never comes.
//
// Checkpoint lets a test pace a server by what a client has done: the client
// side calls Arrive() per step and Finish() when it is done; the server
// waits with WaitFor(n). No sleeps, no time-outs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace quorvo::testing {

class LoopbackConnection {
 public:
  explicit LoopbackConnection(int fd) : fd_(fd) {}
  ~LoopbackConnection() { Close(); }
  LoopbackConnection(const LoopbackConnection&) = delete;
  LoopbackConnection& operator=(const LoopbackConnection&) = delete;

  // Reads until the blank line that ends a request head (or the peer
  // closes, or 64 KiB came); everything read.
  std::string ReadRequestHead();
  // Sends every byte; false when the peer has gone. Never raises SIGPIPE.
  bool Send(std::string_view bytes);
  // Reads and discards until the peer closes its side.
  void WaitForPeerClose();
  void Close();
  int fd() const { return fd_; }

 private:
  int fd_;
};

class LoopbackServer {
 public:
  using Handler = std::function<void(LoopbackConnection& connection)>;

  explicit LoopbackServer(Handler handler);
  ~LoopbackServer() { Stop(); }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  // "127.0.0.1:<port>", the host part of a URL that reaches this server.
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  int ConnectionCount() const { return connections_.load(); }
  void Stop();

 private:
  struct Session {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void AcceptLoop();
  void ReapFinished(bool all);

  Handler handler_;
  int listenFd_ = -1;
  int wakePipe_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<int> connections_{0};
  std::thread acceptThread_;
  std::list<Session> sessions_;  // touched by the accept thread, then by Stop after joining it
  std::mutex stopMutex_;
  bool stopped_ = false;  // guarded by stopMutex_
};

class Checkpoint {
 public:
  void Arrive() {
    {
      std::lock_guard lock(mutex_);
      ++count_;
    }
    changed_.notify_all();
  }
  void Finish() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    changed_.notify_all();
  }
  // Blocks until n arrivals or Finish(); true when n arrivals came.
  bool WaitFor(int n) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return count_ >= n || finished_; });
    return count_ >= n;
  }
  int count() const {
    std::lock_guard lock(mutex_);
    return count_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
  bool finished_ = false;
};

// The request target of a request head ("/m/search?q=word").
std::string RequestTarget(std::string_view head);
// The percent-decoded value of key in the target's query; empty when absent.
std::string QueryValue(std::string_view target, std::string_view key);

// A loopback port nothing listens on (taken from the system, then freed).
int FreePort();

}  // namespace quorvo::testing
