#include "testing/http_fault_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace quorvo::testing {
namespace {

bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string StatusText(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

}  // namespace

HttpFaultServer::HttpFaultServer() {
  if (pipe2(wakePipe_, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listenFd_, 16) != 0 ||
      getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("bind/listen failed");
  port_ = ntohs(address.sin_port);
  listener_ = std::thread([this] { Listen(); });
}

HttpFaultServer::~HttpFaultServer() {
  stopping_ = true;
  char byte = 1;
  (void)!write(wakePipe_[1], &byte, 1);  // wakes every waiting thread
  listener_.join();
  std::vector<std::thread> connections;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connections.swap(connections_);
  }
  for (auto& t : connections) t.join();
  close(listenFd_);
  close(wakePipe_[0]);
  close(wakePipe_[1]);
}

std::string HttpFaultServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void HttpFaultServer::Set(const std::string& path, Reply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  replies_[path] = std::move(reply);
}

std::vector<std::string> HttpFaultServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

long long HttpFaultServer::BodyBytesSent(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sent_.find(path);
  return it == sent_.end() ? 0 : it->second;
}

// True when the server is stopping; otherwise waits until fd is readable or
// the time-out passes (-1: no time-out).
bool HttpFaultServer::WaitUntilStopped(int fd, int timeoutMs) {
  pollfd fds[2] = {{wakePipe_[0], POLLIN, 0}, {fd, POLLIN, 0}};
  int n = poll(fds, fd >= 0 ? 2 : 1, timeoutMs);
  return stopping_ || (n > 0 && (fds[0].revents & POLLIN));
}

void HttpFaultServer::Listen() {
  while (!WaitUntilStopped(listenFd_, -1)) {
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.emplace_back([this, fd] { Serve(fd); });
  }
}

void HttpFaultServer::Serve(int fd) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    if (WaitUntilStopped(fd, -1)) {
      close(fd);
      return;
    }
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      close(fd);
      return;
    }
    head.append(buffer, static_cast<size_t>(n));
  }
  head.resize(head.find("\r\n\r\n"));
  std::string path;
  size_t firstSpace = head.find(' ');
  if (firstSpace != std::string::npos)
    path = head.substr(firstSpace + 1, head.find(' ', firstSpace + 1) - firstSpace - 1);

  Reply reply;
  reply.status = 404;
  reply.body = "not here";
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(head);
    auto it = replies_.find(path);
    if (it != replies_.end()) reply = it->second;
  }

  if (reply.fault == Fault::kNoAnswer) {
    WaitUntilStopped(-1, -1);
    close(fd);
    return;
  }
  std::string answer = "HTTP/1.1 " + std::to_string(reply.status) + " " + StatusText(reply.status) + "\r\n";
  if (!reply.unannounced)
    answer += "Content-Length: " +
              std::to_string(reply.announced >= 0 ? static_cast<size_t>(reply.announced) : reply.body.size()) + "\r\n";
  if (!reply.location.empty()) answer += "Location: " + reply.location + "\r\n";
  answer += "Connection: close\r\n\r\n";
  if (reply.fault == Fault::kEndless) {
    SendAll(fd, answer.data(), answer.size());
    std::string piece(64 * 1024, '\0');
    for (size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<char>('a' + i % 26);
    for (long long sent = 0; sent < kEndlessCapBytes && !stopping_; sent += static_cast<long long>(piece.size())) {
      if (!SendAll(fd, piece.data(), piece.size())) break;  // the client has gone
      std::lock_guard<std::mutex> lock(mutex_);
      sent_[path] += static_cast<long long>(piece.size());
    }
    close(fd);
    return;
  }
  if (reply.dripBytesPerSecond > 0) {
    // Four pieces a second, until the body is out or the server stops.
    SendAll(fd, answer.data(), answer.size());
    size_t piece = std::max<size_t>(1, static_cast<size_t>(reply.dripBytesPerSecond) / 4);
    for (size_t sent = 0; sent < reply.body.size(); sent += piece) {
      if (WaitUntilStopped(-1, 250)) break;
      if (!SendAll(fd, reply.body.data() + sent, std::min(piece, reply.body.size() - sent))) break;
    }
    close(fd);
    return;
  }
  size_t bodyBytes = reply.fault == Fault::kNone ? reply.body.size() : std::min(reply.sentBytes, reply.body.size());
  answer.append(reply.body, 0, bodyBytes);
  SendAll(fd, answer.data(), answer.size());
  if (reply.fault == Fault::kStall) WaitUntilStopped(-1, -1);
  close(fd);
}

}  // namespace quorvo::testing
