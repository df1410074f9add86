#include "dictserver/dict_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "dictserver/dict_page.h"

namespace quorvo::dictd {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// Waits until the descriptor is readable or the deadline passes.
bool WaitReadable(int fd, Clock::time_point deadline) {
  while (true) {
    pollfd entry{fd, POLLIN, 0};
    int ready = poll(&entry, 1, MillisecondsLeft(deadline));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// After the answer: no more to send, and what the client still sends is read
// and dropped for a moment, so that closing does not reset the connection
// before the client has read the answer.
void FinishConnection(int fd) {
  shutdown(fd, SHUT_WR);
  auto deadline = Clock::now() + std::chrono::milliseconds(500);
  char sink[4096];
  size_t drained = 0;
  while (drained < (1u << 20) && WaitReadable(fd, deadline)) {
    ssize_t n = recv(fd, sink, sizeof sink, 0);
    if (n <= 0) break;
    drained += static_cast<size_t>(n);
  }
}

std::string PeerName(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = "?";
  if (address.ss_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
  else if (address.ss_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text, sizeof text);
  return text;
}

// The request line as the log shows it: printable and short.
std::string LogExcerpt(std::string_view received) {
  std::string out;
  for (char c : received.substr(0, received.find_first_of("\r\n")).substr(0, 120))
    out += (c >= 0x20 && c < 0x7f) ? c : '?';
  return out;
}

}  // namespace

DictServer::DictServer(const Dictionary& dictionary, ServerOptions options)
    : dictionary_(dictionary), options_(std::move(options)) {
  if (options_.log) log_ = std::make_unique<LogQueue>(options_.log, options_.logQueueLines);
}

DictServer::~DictServer() {
  Stop();
  {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return active_ == 0 && refusing_ == 0; });
  }
  log_.reset();  // the last lines, as far as the log takes them
}

bool DictServer::Listen(std::string* error) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  wakeRead_.Reset(pipeFds[0]);
  wakeWrite_.Reset(pipeFds[1]);

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  // A numeric address only: binding never waits on a name server.
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV | AI_NUMERICHOST;
  addrinfo* found = nullptr;
  std::string service = std::to_string(options_.port);
  std::string address = options_.address == "localhost" ? "127.0.0.1" : options_.address;
  int status = getaddrinfo(address.c_str(), service.c_str(), &hints, &found);
  if (status != 0) {
    *error = "address " + options_.address + ": " + gai_strerror(status);
    return false;
  }
  std::string lastError = "no address to bind";
  for (addrinfo* candidate = found; candidate; candidate = candidate->ai_next) {
    UniqueFd fd(socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC, candidate->ai_protocol));
    if (fd.get() < 0) {
      lastError = std::string("socket: ") + std::strerror(errno);
      continue;
    }
    int on = 1;
    setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd.get(), candidate->ai_addr, candidate->ai_addrlen) != 0 || listen(fd.get(), 128) != 0) {
      lastError = "bind " + options_.address + ":" + service + ": " + std::strerror(errno);
      continue;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(fd.get(), reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                              : reinterpret_cast<sockaddr_in&>(bound).sin_port);
    listener_ = std::move(fd);
    break;
  }
  freeaddrinfo(found);
  if (listener_.get() < 0) *error = lastError;
  return listener_.get() >= 0;
}

void DictServer::Stop() {
  stopping_.store(true);
  if (wakeWrite_.get() >= 0) {
    ssize_t ignored = write(wakeWrite_.get(), "x", 1);
    (void)ignored;
  }
}

void DictServer::Run() {
  if (listener_.get() < 0) return;
  while (!stopping_.load()) {
    pollfd entries[2] = {{listener_.get(), POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
    if (poll(entries, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (entries[1].revents) break;
    if (!(entries[0].revents & POLLIN)) continue;

    sockaddr_storage peerAddress{};
    socklen_t length = sizeof peerAddress;
    int fd = accept4(listener_.get(), reinterpret_cast<sockaddr*>(&peerAddress), &length, SOCK_CLOEXEC);
    if (fd < 0) {
      // Out of descriptors: give the running connections a moment to end.
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    UniqueFd connection(fd);
    std::string peer = PeerName(peerAddress);
    uint64_t serial = 0;
    bool refuse = false;
    bool closeUnanswered = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (active_ - evicted_ >= options_.maxConnections && !EvictOldestIdle()) {
        refuse = true;
        if (refusing_ >= kMaxRefusing)
          closeUnanswered = true;
        else
          ++refusing_;
      } else {
        ++active_;
        serial = nextSerial_++;
        slots_[serial].fd = fd;
      }
    }
    if (closeUnanswered) {
      Log(peer, 503, "too many connections, closed unanswered");
      continue;
    }
    try {
      if (refuse)
        serving_.Run([this, fd, peer] { Refuse(fd, peer); });
      else
        serving_.Run([this, fd, peer, serial] { Serve(fd, peer, serial); });
      connection.Release();
    } catch (...) {
      // No thread to be had: the connection is closed unanswered.
      if (refuse) {
        RefusalEnded();
      } else {
        Forget(serial);
        ConnectionEnded();
      }
    }
  }
}

bool DictServer::EvictOldestIdle() {
  // A client that has only just connected, or whose request already waits
  // in the socket before its thread has read it, is not idle: under load a
  // serving thread can start late, and closing such a connection would
  // turn away a real request.
  const auto youngest = std::chrono::steady_clock::now() - kIdleBeforeEviction;
  for (auto& [serial, slot] : slots_) {
    if (!slot.idle || slot.evicted || slot.accepted > youngest) continue;
    char waiting;
    if (recv(slot.fd, &waiting, 1, MSG_PEEK | MSG_DONTWAIT) > 0) {
      slot.idle = false;
      continue;
    }
    {
      slot.evicted = true;
      ++evicted_;
      // Its thread sees the end of the stream at once and closes it.
      shutdown(slot.fd, SHUT_RDWR);
      return true;
    }
  }
  return false;
}

void DictServer::Heard(uint64_t serial) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = slots_.find(serial);
  if (it != slots_.end()) it->second.idle = false;
}

void DictServer::Forget(uint64_t serial) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = slots_.find(serial);
  if (it == slots_.end()) return;
  if (it->second.evicted) --evicted_;
  slots_.erase(it);
}

void DictServer::ConnectionEnded() {
  std::lock_guard<std::mutex> lock(mutex_);
  --active_;
  idle_.notify_all();
}

void DictServer::RefusalEnded() {
  std::lock_guard<std::mutex> lock(mutex_);
  --refusing_;
  idle_.notify_all();
}

void DictServer::Note(std::string line) {
  if (log_) log_->Push(std::move(line));
}

void DictServer::Log(const std::string& peer, int status, const std::string& what) {
  if (log_) log_->Push(peer + " " + std::to_string(status) + " " + what);
}

// Over the bound: the request is read first, so that the client gets the
// 503 rather than a connection reset by unread bytes.
void DictServer::Refuse(int fd, const std::string& peer) {
  UniqueFd connection(fd);
  auto deadline = Clock::now() + std::chrono::milliseconds(kRefusalReadMs);
  std::string received;
  char chunk[1024];
  while (CheckRequestHead(received) == HeadState::Incomplete && WaitReadable(fd, deadline)) {
    ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    received.append(chunk, static_cast<size_t>(n));
  }
  // Waits for a place: one given back, or a silent connection old enough to
  // be closed for it. The newcomer is seated before that one keeps it.
  uint64_t serial = 0;
  bool seated = false;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    auto seatBy = Clock::now() + std::chrono::milliseconds(kSlotWaitMs);
    while (!stopping_.load()) {
      if (active_ - evicted_ < options_.maxConnections || EvictOldestIdle()) {
        --refusing_;
        ++active_;
        serial = nextSerial_++;
        slots_[serial].fd = fd;
        slots_[serial].idle = received.empty();
        seated = true;
        break;
      }
      auto now = Clock::now();
      if (now >= seatBy) break;
      // Woken when a connection ends; otherwise looks again when a silent
      // one may have grown old enough.
      idle_.wait_until(lock, std::min(seatBy, now + std::chrono::milliseconds(25)));
    }
  }
  if (seated) {
    Serve(connection.Release(), peer, serial, std::move(received));
    return;
  }
  SendAll(fd, PlainAnswer(503, "busy, try again").bytes);
  Log(peer, 503,
      "too many connections: " + (received.empty() ? std::string("(nothing received)") : LogExcerpt(received)));
  FinishConnection(fd);
  connection.Reset();
  RefusalEnded();
}

void DictServer::Serve(int fd, const std::string& peer, uint64_t serial, std::string received) {
  UniqueFd connection(fd);
  auto deadline = Clock::now() + std::chrono::milliseconds(options_.readTimeoutMs);
  size_t headBytes = 0;
  HeadState state = received.empty() ? HeadState::Incomplete : CheckRequestHead(received, &headBytes);
  char chunk[1024];
  while (state == HeadState::Incomplete) {
    if (!WaitReadable(fd, deadline)) {
      Answer answer = PlainAnswer(408, "the request did not come in time");
      SendAll(fd, answer.bytes);
      Log(peer, 408, received.empty() ? "(nothing received)" : LogExcerpt(received));
      // The place is given back before the client can see the end of the
      // answer, so a client that asks again at once finds it free. Nothing
      // of the server is touched after that.
      Forget(serial);
      ConnectionEnded();
      FinishConnection(fd);
      return;
    }
    ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (received.empty()) Heard(serial);
    received.append(chunk, static_cast<size_t>(n));
    state = CheckRequestHead(received, &headBytes);
  }

  if (state == HeadState::Incomplete && received.empty()) {
    // Connected and closed without a word (a check whether the port answers).
  } else {
    Answer answer;
    std::string what;
    if (state == HeadState::Complete) {
      answer = AnswerRequest(dictionary_, std::string_view(received).substr(0, headBytes));
      what = answer.logNote.empty() ? LogExcerpt(received) : answer.logNote;
    } else {
      answer = PlainAnswer(400, state == HeadState::TooLong ? "request line or head too long" : "incomplete request");
      what = state == HeadState::TooLong ? "(request too long)" : "(incomplete request)";
    }
    SendAll(fd, answer.bytes);
    Log(peer, answer.status, what);
  }
  Forget(serial);
  ConnectionEnded();
  if (state != HeadState::Incomplete || !received.empty()) FinishConnection(fd);
}

}  // namespace quorvo::dictd
