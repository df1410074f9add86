// HttpFaultServer: a small HTTP server of the tests' own on 127.0.0.1 (a free
// port), for the answers a real server gives only when something goes
// wrong: an error status, no answer at all, a connection cut in the middle
// of the body (a Content-Length larger than what is sent), a body that
// stalls. Each path gets its reply; unknown paths get 404.
//
// Every connection is served on a thread of its own; connections that stall
// or get no answer stay open until the server goes. Set() and the request
// log may be used from the test's thread while the server runs.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvo::testing {

class HttpFaultServer {
 public:
  enum class Fault {
    kNone,      // the whole reply
    kCut,       // headers announce the whole body; sentBytes of it, then close
    kStall,     // headers and sentBytes of the body, then silence
    kNoAnswer,  // the request is read, nothing is ever sent
    kEndless,   // 200 without Content-Length and a body that never ends
  };
  struct Reply {
    int status = 200;
    std::string body;
    Fault fault = Fault::kNone;
    size_t sentBytes = 0;        // for kCut and kStall
    long long announced = -1;    // the Content-Length sent; -1: the body's size
    bool unannounced = false;    // no Content-Length: the body ends at the close
    std::string location = "";   // sent as Location (a redirect), when set
    int dripBytesPerSecond = 0;  // above 0: the body goes out at this pace
  };
  static Reply Answer(int status, std::string body) { return {status, std::move(body), Fault::kNone, 0}; }
  static Reply Ok(std::string body) { return Answer(200, std::move(body)); }
  // 200 announcing the whole body; only the first sentBytes are sent.
  static Reply Cut(std::string body, size_t sentBytes) { return {200, std::move(body), Fault::kCut, sentBytes}; }
  static Reply Stall(std::string body, size_t sentBytes) { return {200, std::move(body), Fault::kStall, sentBytes}; }
  static Reply NoAnswer() { return {200, "", Fault::kNoAnswer, 0}; }
  // 200 with the whole body, whose Content-Length says announced bytes.
  static Reply Announcing(std::string body, long long announced) {
    return {200, std::move(body), Fault::kNone, 0, announced};
  }

  // 200 without Content-Length; only the first sentBytes are sent, then the
  // connection closes, so the client cannot tell the body was cut.
  static Reply Unannounced(std::string body, size_t sentBytes) {
    Reply reply = Cut(std::move(body), sentBytes);
    reply.unannounced = true;
    return reply;
  }
  // 302 to the given address.
  static Reply Redirect(std::string location) {
    Reply reply = Answer(302, "");
    reply.location = std::move(location);
    return reply;
  }
  // 200 announcing the whole body, which is sent a few bytes at a time at
  // bytesPerSecond, for as long as the server runs.
  static Reply Drip(std::string body, int bytesPerSecond) {
    Reply reply = Ok(std::move(body));
    reply.dripBytesPerSecond = bytesPerSecond;
    return reply;
  }

  // A body that never ends: pieces of a fixed pattern, sent for as long as
  // the client reads them (up to kEndlessCapBytes, so that a client that
  // never stops still ends the test).
  static Reply Endless() { return {200, "", Fault::kEndless, 0, -1, true}; }
  static constexpr long long kEndlessCapBytes = 512LL << 20;

  HttpFaultServer();
  ~HttpFaultServer();
  HttpFaultServer(const HttpFaultServer&) = delete;
  HttpFaultServer& operator=(const HttpFaultServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" + path
  std::string Url(const std::string& path) const;
  void Set(const std::string& path, Reply reply);
  // The head (request line and headers) of every request received so far.
  std::vector<std::string> Requests() const;
  // The body bytes sent so far on the connections that asked for path.
  long long BodyBytesSent(const std::string& path) const;

 private:
  void Listen();
  void Serve(int fd);
  bool WaitUntilStopped(int fd, int timeoutMs);

  int listenFd_ = -1;
  int wakePipe_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread listener_;
  mutable std::mutex mutex_;
  std::map<std::string, Reply> replies_;   // guarded by mutex_
  std::vector<std::string> requests_;      // guarded by mutex_
  std::map<std::string, long long> sent_;  // body bytes by path, guarded by mutex_
  std::vector<std::thread> connections_;   // guarded by mutex_
};

}  // namespace quorvo::testing
