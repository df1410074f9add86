#include "lookup/page_fetch.h"

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
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "base/unique_fd.h"

namespace quorvo {
namespace {

bool Contains(std::string_view text, std::string_view marker) { return text.find(marker) != std::string_view::npos; }

// Owns the resolver's answer.
class AddressList {
 public:
  ~AddressList() {
    if (list_) freeaddrinfo(list_);
  }
  addrinfo** out() { return &list_; }
  const addrinfo* get() const { return list_; }

 private:
  addrinfo* list_ = nullptr;
};

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until fd is ready for events or timeoutMs passes; false on time-out
// or failure.
bool WaitReady(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int rc = ::poll(&p, 1, MillisecondsLeft(deadline));
    if (rc > 0) return true;
    if (rc == 0 || errno != EINTR) return false;
  }
}

bool SystemResolve(const std::string& name, uint32_t* ipv4) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  AddressList answer;
  if (getaddrinfo(name.c_str(), nullptr, &hints, answer.out()) != 0 || !answer.get()) return false;
  for (const addrinfo* a = answer.get(); a; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
      *ipv4 = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
      return true;
    }
  }
  return false;
}

// A name lookup's answer, shared by its helper thread and the fetch, which
// may have stopped waiting for it.
struct PendingLookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;  // guarded by mutex
  bool found = false;     // guarded by mutex
  uint32_t ipv4 = 0;      // guarded by mutex
};

// The address of name within timeoutMs. A numeric address needs no lookup;
// a name is looked up on a helper thread, which is left to finish alone when
// the time is up (getaddrinfo cannot be interrupted).
bool ResolveWithin(const std::string& name, const NameResolver& resolver, int timeoutMs, uint32_t* ipv4) {
  in_addr numeric{};
  if (::inet_pton(AF_INET, name.c_str(), &numeric) == 1) {
    *ipv4 = numeric.s_addr;
    return true;
  }
  if (timeoutMs <= 0) return false;
  auto pending = std::make_shared<PendingLookup>();
  try {
    NameResolver resolve = resolver ? resolver : NameResolver(SystemResolve);
    std::thread([pending, resolve = std::move(resolve), name] {
      uint32_t address = 0;
      bool found = false;
      try {
        found = resolve(name, &address);
      } catch (...) {
      }
      std::lock_guard lock(pending->mutex);
      pending->finished = true;
      pending->found = found;
      pending->ipv4 = address;
      pending->done.notify_all();
    }).detach();
  } catch (...) {
    return false;  // no thread could be started
  }
  std::unique_lock lock(pending->mutex);
  if (!pending->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pending->finished; }))
    return false;
  if (!pending->found) return false;
  *ipv4 = pending->ipv4;
  return true;
}

// FetchFailure::None when connected, else why not.
FetchFailure ConnectWithin(const UniqueFd& socket, const sockaddr_in& address, int timeoutMs) {
  int flags = ::fcntl(socket.get(), F_GETFL, 0);
  if (flags < 0 || ::fcntl(socket.get(), F_SETFL, flags | O_NONBLOCK) < 0) return FetchFailure::Unreachable;
  int rc = ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (rc != 0) {
    if (errno == ECONNREFUSED) return FetchFailure::Refused;
    if (errno != EINPROGRESS) return FetchFailure::Unreachable;
    if (!WaitReady(socket.get(), POLLOUT, timeoutMs)) return FetchFailure::TimedOut;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return FetchFailure::Unreachable;
    if (error == ECONNREFUSED) return FetchFailure::Refused;
    if (error == ETIMEDOUT) return FetchFailure::TimedOut;
    if (error != 0) return FetchFailure::Unreachable;
  }
  return ::fcntl(socket.get(), F_SETFL, flags) == 0 ? FetchFailure::None : FetchFailure::Unreachable;
}

bool SendAll(const UniqueFd& socket, const std::string& request) {
  size_t sent = 0;
  while (sent < request.size()) {
    // MSG_NOSIGNAL: a peer that has gone must not end the program.
    ssize_t n = ::send(socket.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

ChunkDecision HandleChunk(PageCollector& state, std::string_view received) {
  std::string_view chunk = received.substr(0, received.find('\0'));
  if (Contains(chunk, kErrorMarker)) {
    state.result = kFetchErrorMarker;
    return ChunkDecision::Stop;
  }
  if (state.endSeen) return ChunkDecision::Stop;
  if (Contains(chunk, kStartMarker)) state.collecting = true;
  if (Contains(chunk, kEndMarker)) state.endSeen = true;
  if (!state.collecting) return ChunkDecision::Drop;
  if (state.length + chunk.size() >= kPageBufferBytes) return ChunkDecision::Stop;
  std::memcpy(state.page + state.length, chunk.data(), chunk.size());
  state.length += chunk.size();
  state.page[state.length] = '\0';
  return ChunkDecision::Keep;
}

UrlParts SplitUrl(std::string_view url) {
  url = url.substr(0, kRequestPartBytes - 1);
  url = url.substr(0, url.find('\0'));
  // A URL that starts with "/" has no host: all of it is the target.
  if (!url.empty() && url[0] == '/') return {"", std::string(url)};
  size_t slash = url.find('/');
  if (slash == std::string_view::npos) return {std::string(url), "/"};
  return {std::string(url.substr(0, slash)), std::string(url.substr(slash))};
}

std::string BuildPageRequest(std::string_view host, std::string_view target) {
  std::string request;
  request.reserve(kRequestPartBytes);
  request.append("GET ").append(target).append(" HTTP/1.1\r\n");
  request.append("HOST: ").append(host).append("\r\n");
  request.append("Accept: */*\r\n");
  request.append("User-Agent: Mozilla/4.0(compatible)\r\n");
  request.append("Connection: close\r\n");
  request.append("\r\n");
  if (request.size() >= kRequestPartBytes) return {};
  return request;
}

bool SplitHostPort(std::string_view host, std::string* name, int* port) {
  size_t colon = host.rfind(':');
  std::string_view namePart = host.substr(0, colon);
  if (namePart.empty()) return false;
  int value = 80;
  if (colon != std::string_view::npos) {
    std::string_view digits = host.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
  }
  *name = std::string(namePart);
  *port = value;
  return true;
}

int FetchDictionaryPage(std::string_view url, char* page, const FetchOptions& options, FetchFailure* failure) {
  std::memset(page, 0, kPageBufferBytes);
  PageCollector collector(page);
  FetchFailure ignored;
  FetchFailure& why = failure ? *failure : ignored;
  why = FetchFailure::Unreachable;

  UrlParts parts = SplitUrl(url);
  std::string request = BuildPageRequest(parts.host, parts.target);
  std::string name;
  int port = 0;
  if (request.empty() || !SplitHostPort(parts.host, &name, &port)) return collector.result;

  // The exchange's bound starts before the name lookup, which counts as a
  // step of its own.
  auto deadline = Clock::now() + std::chrono::milliseconds(options.exchangeTimeoutMs);
  uint32_t ipv4 = 0;
  if (!ResolveWithin(name, options.resolve, std::min(options.connectTimeoutMs, MillisecondsLeft(deadline)), &ipv4))
    return collector.result;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = ipv4;
  address.sin_port = htons(static_cast<uint16_t>(port));

  UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
  if (!socket) return collector.result;
  why = ConnectWithin(socket, address, std::min(options.connectTimeoutMs, MillisecondsLeft(deadline)));
  if (why != FetchFailure::None) return collector.result;
  if (!SendAll(socket, request)) {
    why = FetchFailure::Unreachable;
    return collector.result;
  }

  char chunk[kChunkBytes];
  std::memset(chunk, 0, sizeof chunk);
  size_t receivedBytes = 0;
  why = FetchFailure::Cut;
  for (;;) {
    int wait = std::min(options.receiveTimeoutMs, MillisecondsLeft(deadline));
    if (wait <= 0 || !WaitReady(socket.get(), POLLIN, wait)) {
      why = FetchFailure::TimedOut;
      break;
    }
    ssize_t n = ::recv(socket.get(), chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;  // reset by the peer: cut
    if (n == 0) {
      // A clean end: an answer, unless it was empty or stopped inside the
      // translation.
      if (receivedBytes > 0 && (!collector.collecting || collector.endSeen)) why = FetchFailure::None;
      break;
    }
    receivedBytes += static_cast<size_t>(n);
    std::string_view received(chunk, static_cast<size_t>(n));
    ChunkDecision decision = HandleChunk(collector, received);
    if (options.onChunk) options.onChunk(received, decision);
    if (decision == ChunkDecision::Stop) {
      if (collector.result == kFetchErrorMarker)
        why = FetchFailure::ErrorMarker;
      else if (collector.endSeen)
        why = FetchFailure::None;
      // else: the page outgrew the buffer before its end marker (cut)
      break;
    }
  }
  // The end marker seen and the server simply slow to close is an answer.
  if (why == FetchFailure::TimedOut && collector.endSeen && collector.result != kFetchErrorMarker)
    why = FetchFailure::None;
  return collector.result;
}

}  // namespace quorvo
