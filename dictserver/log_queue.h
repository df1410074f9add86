// LogQueue: log lines written by a thread of their own, so that a log nobody
// reads (standard error into a pipe nobody drains) never holds up answering.
//
// Push() takes the line into a bounded queue and returns at once; when the
// queue is full the line is dropped and counted. The writer thread waits
// until the descriptor can take a line (poll) before writing it, so the
// destructor ends it within a tenth of a second even while the reader is
// gone: it writes the lines still queued while the descriptor takes them and
// drops the rest.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace quorvo::dictd {

class LogQueue {
 public:
  // Writes to the file's descriptor (the FILE's own buffer is flushed
  // first); capacity is the number of lines waiting at most.
  LogQueue(std::FILE* file, size_t capacity);
  ~LogQueue();
  LogQueue(const LogQueue&) = delete;
  LogQueue& operator=(const LogQueue&) = delete;

  // The line without its line feed. Never blocks on the descriptor.
  void Push(std::string line);
  // Lines dropped because the queue was full (or still queued at the end).
  size_t dropped() const;
  // Waits until every queued line is written or the time is up (tests).
  bool WaitUntilWritten(int milliseconds);

 private:
  void Write();

  const int fd_;
  const size_t capacity_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable written_;
  std::deque<std::string> lines_;
  size_t dropped_ = 0;
  size_t writing_ = 0;  // lines taken by the writer and not yet written
  bool stopping_ = false;
  std::thread writer_;
};

}  // namespace quorvo::dictd
