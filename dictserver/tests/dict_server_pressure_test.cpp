// DictServer in this process, its log a pipe nobody reads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "dictserver/dict_server.h"
#include "dictserver/dictionary.h"
#include "dictserver/log_queue.h"
#include "dictserver/tests/dictd_process.h"

namespace quorvo::dictd {
namespace {

using testing::Exchange;
using testing::ProgramRequest;

int StatusOf(const std::string& answer) {
  return answer.compare(0, 9, "HTTP/1.1 ") == 0 ? std::atoi(answer.c_str() + 9) : -1;
}

// A pipe whose reading end stays open and unread: writes to it block once
// its buffer is full.
class UnreadPipe {
 public:
  UnreadPipe() {
    int fds[2];
    if (pipe(fds) == 0) {
      read_ = fds[0];
      file_ = fdopen(fds[1], "w");
    }
  }
  ~UnreadPipe() {
    if (file_) std::fclose(file_);
    if (read_ >= 0) close(read_);
  }
  std::FILE* file() const { return file_; }
  size_t Capacity() const { return static_cast<size_t>(fcntl(read_, F_GETPIPE_SZ)); }

 private:
  int read_ = -1;
  std::FILE* file_ = nullptr;
};

TEST(DictServerPressureTest, UnreadLogNeverStopsTheAnswers) {
  UnreadPipe log;
  ASSERT_NE(log.file(), nullptr);
  Dictionary dictionary;
  ASSERT_TRUE(dictionary.LoadText("apple\tn. 苹果\n"));
  ServerOptions options;
  options.port = 0;
  options.log = log.file();
  options.logQueueLines = 64;
  // A request's log line is about 30 bytes: this many fill the pipe twice over.
  const size_t requests = 2 * log.Capacity() / 30 + 100;
  size_t answered = 0;
  {
    DictServer server(dictionary, options);
    std::string error;
    ASSERT_TRUE(server.Listen(&error)) << error;
    std::thread runner(&DictServer::Run, &server);
    for (size_t i = 0; i < requests; ++i) {
      std::string answer = Exchange(server.port(), ProgramRequest(server.port(), i % 2 ? "apple" : "zzyzx"));
      if (StatusOf(answer) == (i % 2 ? 200 : 404)) ++answered;
      if (answered != i + 1) break;  // stuck or wrong: no point in going on
    }
    EXPECT_GT(server.droppedLogLines(), 0u);
    server.Stop();
    runner.join();
    // Leaving the scope ends the server and its log writer, the pipe still full.
  }
  EXPECT_EQ(answered, requests);
}

TEST(DictServerPressureTest, LogQueueWritesInOrderAndDropsWhenFull) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    LogQueue queue(file, 8);
    for (int i = 0; i < 5; ++i) queue.Push("line " + std::to_string(i));
    ASSERT_TRUE(queue.WaitUntilWritten(2000));
    EXPECT_EQ(queue.dropped(), 0u);
  }
  std::rewind(file);
  char text[200] = {};
  size_t n = std::fread(text, 1, sizeof text - 1, file);
  EXPECT_EQ(std::string(text, n), "line 0\nline 1\nline 2\nline 3\nline 4\n");
  std::fclose(file);

  UnreadPipe full;
  ASSERT_NE(full.file(), nullptr);
  auto started = std::chrono::steady_clock::now();
  {
    LogQueue queue(full.file(), 4);
    const std::string big(1000, 'x');
    // The pipe takes what fits, then the queue holds 4 and drops the rest.
    size_t pushes = full.Capacity() / 1000 + 50;
    for (size_t i = 0; i < pushes; ++i) queue.Push(big);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_GE(queue.dropped(), 40u);
  }
  // The destructor did not wait on the full pipe.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

}  // namespace
}  // namespace quorvo::dictd
