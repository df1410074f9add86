#include "testing/loopback_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace quorvo::testing {

std::string LoopbackConnection::ReadRequestHead() {
  std::string head;
  char buffer[1024];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    head.append(buffer, static_cast<size_t>(n));
  }
  return head;
}

bool LoopbackConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void LoopbackConnection::WaitForPeerClose() {
  char buffer[1024];
  for (;;) {
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
  }
}

void LoopbackConnection::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket failed");
  int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof address;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd_, 128) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
      ::pipe2(wakePipe_, O_CLOEXEC) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("cannot listen on loopback");
  }
  port_ = ntohs(address.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

void LoopbackServer::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    int rc = ::poll(fds, 2, -1);
    if (rc < 0 && errno == EINTR) continue;
    if (rc < 0 || fds[1].revents) return;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    connections_.fetch_add(1);
    ReapFinished(false);
    Session& session = sessions_.emplace_back();
    session.thread = std::thread([this, fd, &session] {
      {
        LoopbackConnection connection(fd);
        try {
          handler_(connection);
        } catch (...) {
          // A failing handler ends its connection only.
        }
      }
      session.done.store(true);
    });
  }
}

void LoopbackServer::ReapFinished(bool all) {
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    if (all || it->done.load()) {
      if (it->thread.joinable()) it->thread.join();
      it = sessions_.erase(it);
    } else {
      ++it;
    }
  }
}

void LoopbackServer::Stop() {
  std::lock_guard lock(stopMutex_);
  if (stopped_) return;
  stopped_ = true;
  char wake = 1;
  while (::write(wakePipe_[1], &wake, 1) < 0 && errno == EINTR) {
  }
  acceptThread_.join();
  ReapFinished(true);
  ::close(listenFd_);
  ::close(wakePipe_[0]);
  ::close(wakePipe_[1]);
}

std::string RequestTarget(std::string_view head) {
  size_t lineEnd = head.find("\r\n");
  std::string_view line = head.substr(0, lineEnd);
  size_t first = line.find(' ');
  if (first == std::string_view::npos) return {};
  size_t second = line.find(' ', first + 1);
  return std::string(
      line.substr(first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1));
}

std::string QueryValue(std::string_view target, std::string_view key) {
  size_t question = target.find('?');
  if (question == std::string_view::npos) return {};
  std::string_view query = target.substr(question + 1);
  while (!query.empty()) {
    size_t amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    size_t eq = pair.find('=');
    if (pair.substr(0, eq) != key) continue;
    std::string_view raw = eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
    std::string value;
    auto hex = [](char c) {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '%' && i + 2 < raw.size() && hex(raw[i + 1]) >= 0 && hex(raw[i + 2]) >= 0) {
        value.push_back(static_cast<char>(hex(raw[i + 1]) * 16 + hex(raw[i + 2])));
        i += 2;
      } else {
        value.push_back(raw[i]);
      }
    }
    return value;
  }
  return {};
}

int FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  (void)::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

}  // namespace quorvo::testing
