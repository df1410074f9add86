#include "dictserver/log_queue.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

namespace quorvo::dictd {

namespace {

// How long the writer waits for the descriptor before looking whether it
// should end.
constexpr int kPollMs = 100;

}  // namespace

LogQueue::LogQueue(std::FILE* file, size_t capacity) : fd_((std::fflush(file), fileno(file))), capacity_(capacity) {
  writer_ = std::thread(&LogQueue::Write, this);
}

LogQueue::~LogQueue() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  writer_.join();
}

void LogQueue::Push(std::string line) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lines_.size() >= capacity_ || stopping_) {
      ++dropped_;
      return;
    }
    line += '\n';
    lines_.push_back(std::move(line));
  }
  wake_.notify_one();
}

size_t LogQueue::dropped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_;
}

bool LogQueue::WaitUntilWritten(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return written_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                           [this] { return lines_.empty() && writing_ == 0; });
}

void LogQueue::Write() {
  std::vector<std::string> batch;
  bool final = false;
  while (!final) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !lines_.empty(); });
      // At the end the lines still queued are written while the descriptor
      // takes them at once; the first wait gives the rest up.
      final = stopping_;
      if (final && lines_.empty()) {
        written_.notify_all();
        return;
      }
      batch.assign(std::make_move_iterator(lines_.begin()), std::make_move_iterator(lines_.end()));
      lines_.clear();
      writing_ = batch.size();
    }
    size_t lost = 0;
    bool givenUp = false;
    for (const std::string& line : batch) {
      size_t done = 0;
      while (done < line.size() && !givenUp) {
        pollfd entry{fd_, POLLOUT, 0};
        int ready = poll(&entry, 1, kPollMs);
        if (ready == 0 || (ready < 0 && errno == EINTR)) {
          std::lock_guard<std::mutex> lock(mutex_);
          givenUp = stopping_;
          continue;
        }
        if (ready < 0 || (entry.revents & (POLLERR | POLLHUP | POLLNVAL))) break;
        ssize_t n = write(fd_, line.data() + done, line.size() - done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      if (done < line.size()) ++lost;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    dropped_ += lost;
    writing_ = 0;
    written_.notify_all();
  }
}

}  // namespace quorvo::dictd
