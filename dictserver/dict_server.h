// DictServer: quorvo-dictd's listening socket and its connections.
//
// Run() accepts connections on the thread that calls it and serves each one
// on a thread of its own (kept for the next connection a while after its
// answer), at most maxConnections at once. When they are all
// taken, the oldest connection that has sent nothing yet is closed to make
// room; when none is idle, the newcomer's request is read (on one of at most
// kMaxRefusing threads) and the newcomer waits up to kSlotWaitMs for a place:
// a connection that ends, or a silent one grown old enough to be closed,
// seats it before that silent one can keep its place. Only then is it
// answered 503. A connection gets one answer and is
// closed (HTTP/1.1 with "Connection: close"). A client that has not sent its
// whole request head within readTimeoutMs gets 408 and is closed, so a silent
// client holds a thread for that long at most.
//
// The log (one line per request) is written by a thread of its own through a
// bounded queue: a log nobody reads drops lines and never holds up answering.
//
// Stop() may be called from any thread and from a signal handler. The
// destructor stops the server and waits for every connection thread; the
// Dictionary must outlive the server.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "base/unique_fd.h"
#include "dictserver/dictionary.h"
#include "dictserver/log_queue.h"
#include "dictserver/thread_cache.h"

namespace quorvo::dictd {

inline constexpr int kDefaultPort = 8666;
// Connections over the bound whose request is read before the 503 at once;
// beyond these a connection is closed unanswered.
inline constexpr size_t kMaxRefusing = 32;
// A connection that has sent nothing is closed to make room only after this
// long; a client between its connect and its request is left alone.
inline constexpr std::chrono::milliseconds kIdleBeforeEviction{250};
// How long a refused connection may take to send its request.
inline constexpr int kRefusalReadMs = 1000;
// How long a newcomer over the bound waits for a place before its 503.
inline constexpr int kSlotWaitMs = 1000;

struct ServerOptions {
  std::string address = "127.0.0.1";  // numeric (or "localhost"); loopback unless told otherwise
  int port = kDefaultPort;            // 0: any free port (see DictServer::port)
  size_t maxConnections = 64;
  int readTimeoutMs = 5000;
  std::FILE* log = stderr;      // one line per request; nullptr for none
  size_t logQueueLines = 4096;  // lines waiting for a slow log at most; more are dropped
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
  // A line for the log (none without one); never blocks.
  void Note(std::string line);
  // Log lines dropped so far because the log could not keep up.
  size_t droppedLogLines() const { return log_ ? log_->dropped() : 0; }

 private:
  struct Slot {
    int fd = -1;
    bool idle = true;  // nothing received yet
    bool evicted = false;
    std::chrono::steady_clock::time_point accepted = std::chrono::steady_clock::now();
  };

  // received: what a newcomer that waited for its place has sent already.
  void Serve(int fd, const std::string& peer, uint64_t serial, std::string received = {});
  void Refuse(int fd, const std::string& peer);
  void Log(const std::string& peer, int status, const std::string& what);
  // Marks the connection as having sent something.
  void Heard(uint64_t serial);
  // Takes the connection off the table before its descriptor is closed.
  void Forget(uint64_t serial);
  void ConnectionEnded();
  void RefusalEnded();
  // Closes the oldest idle connection; false when there is none. Holds mutex_.
  bool EvictOldestIdle();

  const Dictionary& dictionary_;
  const ServerOptions options_;
  UniqueFd listener_;
  UniqueFd wakeRead_;
  UniqueFd wakeWrite_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};

  std::unique_ptr<LogQueue> log_;

  std::mutex mutex_;
  std::condition_variable idle_;
  size_t active_ = 0;    // connection threads running; guarded by mutex_
  size_t evicted_ = 0;   // of them, closed to make room and not yet ended
  size_t refusing_ = 0;  // refusal threads running
  uint64_t nextSerial_ = 0;
  std::map<uint64_t, Slot> slots_;  // by age: the oldest first

  // Last, so it goes first: its destructor waits for the serving threads.
  ThreadCache serving_;
};

}  // namespace quorvo::dictd
