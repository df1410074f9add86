// quorvo-dictd as a real process on a free loopback port.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "dictserver/dictionary.h"
#include "dictserver/tests/dictd_process.h"
#include "dictserver/tests/program_reader.h"
#include "testing/temp_dir.h"

namespace quorvo::dictd {
namespace {

using testing::DictdProcess;
using testing::Exchange;
using testing::ProgramRequest;
using testing::ReadLikeProgram;

int StatusOf(const std::string& answer) {
  return answer.compare(0, 9, "HTTP/1.1 ") == 0 ? std::atoi(answer.c_str() + 9) : -1;
}

size_t CountLines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

class DictServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bundled_.Load(testing::BundledDataPath())); }

  std::string Expected(const std::string& word) const { return TranslationText(bundled_.PartsFor(word)); }

  quorvo::testing::TempDir dir_;
  Dictionary bundled_;
};

TEST_F(DictServerTest, AnswersTheProgramsRequestForRealWords) {
  DictdProcess dictd({}, dir_.File("log"));
  ASSERT_TRUE(dictd.running());
  const struct {
    const char* word;
    const char* startsWith;  // the translation's beginning; "" for a word without one
  } cases[] = {
      {"apple", "n. 苹果"},  {"computer", "n. "},
      {"remember", "v. "},   {"jumped", "v. 跳"},  // inflected: answered with "jump"
      {"apples", "n. 苹果"},                       // inflected: answered with "apple"
      {"went", "v. 去"},                           // irregular: answered with "go"
      {"qzxv", ""},
  };
  for (const auto& c : cases) {
    std::string translation = ReadLikeProgram(dictd.port(), c.word);
    EXPECT_EQ(translation, Expected(c.word)) << c.word;
    EXPECT_EQ(translation.rfind(c.startsWith, 0), 0u) << c.word << ": " << translation;
    if (*c.startsWith) {
      EXPECT_NE(translation.back(), '\n') << c.word;
    }
  }
  EXPECT_EQ(bundled_.Resolve("jumped"), "jump");
  EXPECT_EQ(bundled_.Resolve("went"), "go");

  // One log line per request, after the line about the data.
  dictd.Terminate();
  EXPECT_EQ(CountLines(dir_.Read("log")), 1 + std::size(cases));
}

TEST_F(DictServerTest, ServesManyClientsAtOnce) {
  DictdProcess dictd({"--quiet"}, dir_.File("log"));
  ASSERT_TRUE(dictd.running());
  const std::vector<std::string> words = {"water", "books", "walked", "happier", "zzyzx", "time", "people"};
  constexpr int kClients = 48;
  constexpr int kRounds = 5;
  std::atomic<int> wrong{0};
  std::atomic<int> ready{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      ++ready;
      while (ready.load() < kClients) std::this_thread::yield();  // start together
      for (int r = 0; r < kRounds; ++r) {
        const std::string& word = words[(c + r) % words.size()];
        if (ReadLikeProgram(dictd.port(), word) != Expected(word)) ++wrong;
      }
    });
  }
  for (std::thread& t : clients) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(dictd.Terminate(), 0);  // ended by SIGTERM through its own handler
}

TEST_F(DictServerTest, RefusesMalformedRequestsAndStaysUp) {
  DictdProcess dictd({}, dir_.File("log"));
  ASSERT_TRUE(dictd.running());
  std::string manyHeaders = "GET /m/search?q=cat HTTP/1.1\r\n";
  for (int i = 0; i < 200; ++i) manyHeaders += "X-Filler: " + std::string(60, 'x') + "\r\n";
  const struct {
    std::string request;
    int status;
  } cases[] = {
      {"GARBAGE\r\n\r\n", 400},
      {"GET /m/search?vendor=%24vendor&keyfrom=dict.mresult HTTP/1.1\r\nConnection: close\r\n\r\n", 400},
      {"GET /m/search?q=%G1 HTTP/1.1\r\n\r\n", 400},
      {"GET /m/search?q=" + std::string(100000, 'a') + " HTTP/1.1\r\n\r\n", 400},
      {"GET /m/search?q=" + std::string(3000, 'a'), 400},  // an over-long line, then the client waits
      {manyHeaders + "\r\n", 400},
      {std::string("\0\0\0\xff\xfe\r\n\r\n", 9), 400},
      {"GET /m/search?q=cat HTTP/1.1\r\nHost: x", 400},  // the client stops half-way and closes
      {"DELETE /m/search?q=cat HTTP/1.1\r\n\r\n", 405},
  };
  for (const auto& c : cases) {
    std::string answer;
    if (c.request.rfind("GET /m/search?q=cat HTTP/1.1\r\nHost: x", 0) == 0) {
      int fd = testing::ConnectLoopback(dictd.port());
      ASSERT_GE(fd, 0);
      send(fd, c.request.data(), c.request.size(), MSG_NOSIGNAL);
      shutdown(fd, SHUT_WR);
      char buffer[1024];
      ssize_t n;
      while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, static_cast<size_t>(n));
      close(fd);
    } else {
      answer = Exchange(dictd.port(), c.request);
    }
    EXPECT_EQ(StatusOf(answer), c.status) << c.request.substr(0, 60);
    EXPECT_EQ(ReadLikeProgram(dictd.port(), "apple"), Expected("apple")) << "after " << c.request.substr(0, 60);
  }
  EXPECT_EQ(kill(dictd.pid(), 0), 0);
  dictd.Terminate();
  // Each refused request and each good one: one line apiece.
  EXPECT_EQ(CountLines(dir_.Read("log")), 1 + 2 * std::size(cases));
}

TEST_F(DictServerTest, SilentClientIsClosedAndHoldsNoOneUp) {
  DictdProcess dictd({"--timeout-ms", "300", "--max-connections", "2"}, dir_.File("log"));
  ASSERT_TRUE(dictd.running());
  int silent = testing::ConnectLoopback(dictd.port());
  ASSERT_GE(silent, 0);
  // While the silent client waits, others are served.
  EXPECT_EQ(ReadLikeProgram(dictd.port(), "apple"), Expected("apple"));
  std::string answer;
  char buffer[1024];
  ssize_t n;
  while ((n = recv(silent, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, static_cast<size_t>(n));
  close(silent);
  EXPECT_EQ(StatusOf(answer), 408);
}

// Two clients in the middle of their requests hold both places: a third is
// read and answered 503 (not reset), and is served once a place is free.
TEST_F(DictServerTest, ConnectionsOverTheBoundAreTurnedAway) {
  DictdProcess dictd({"--timeout-ms", "60000", "--max-connections", "2"}, dir_.File("log"));
  ASSERT_TRUE(dictd.running());
  int first = testing::ConnectLoopback(dictd.port());
  int second = testing::ConnectLoopback(dictd.port());
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  for (int fd : {first, second}) send(fd, "GET /m/se", 9, MSG_NOSIGNAL);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // both heard, so neither is idle
  for (int refused = 0; refused < 5; ++refused) {
    std::string answer = Exchange(dictd.port(), ProgramRequest(dictd.port(), "apple"));
    EXPECT_EQ(StatusOf(answer), 503) << refused;
    EXPECT_NE(answer.find("\r\n\r\nbusy, try again\n"), std::string::npos) << "a whole answer: " << answer;
  }
  close(first);  // the server sees it closed and frees its place
  std::string answer;
  for (int attempt = 0; attempt < 200 && StatusOf(answer) != 200; ++attempt) {
    answer = Exchange(dictd.port(), ProgramRequest(dictd.port(), "apple"));
    if (StatusOf(answer) != 200) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(StatusOf(answer), 200);
  close(second);
}

// One client holds every place with connections that say nothing, and opens
// ten more: each newcomer closes the oldest silent one, and requests are served.
TEST_F(DictServerTest, IdleConnectionsMakeRoomForRequests) {
  DictdProcess dictd({"--timeout-ms", "60000", "--quiet"}, dir_.File("log"));
  ASSERT_TRUE(dictd.running());
  std::vector<int> idle;
  for (int i = 0; i < 74; ++i) {
    idle.push_back(testing::ConnectLoopback(dictd.port()));
    ASSERT_GE(idle.back(), 0);
    // The first 64 accepted, and silent for longer than a client between
    // its connect and its request may be.
    if (i == 63) std::this_thread::sleep_for(std::chrono::milliseconds(400));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ReadLikeProgram(dictd.port(), "apple"), Expected("apple")) << "request " << i;
  // The ten newcomers closed the ten oldest and the first request the
  // eleventh; later requests close more only while an earlier answer's
  // connection is still ending. Always the oldest first.
  auto closedByServer = [](int fd, int waitMs) {
    pollfd entry{fd, POLLIN, 0};
    char byte;
    return poll(&entry, 1, waitMs) == 1 && recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
  };
  for (int i = 0; i < 11; ++i) EXPECT_TRUE(closedByServer(idle[i], 1000)) << "connection " << i;
  int closed = 11;
  while (closed < 74 && closedByServer(idle[closed], 0)) ++closed;
  EXPECT_LE(closed, 11 + 20);
  for (int i = closed; i < 74; ++i) EXPECT_FALSE(closedByServer(idle[i], 0)) << "connection " << i;
  for (int fd : idle) close(fd);
}

// The same client opens its 64 silent connections just before 40 other
// requests come, 8 at a time: none of them is turned away. A newcomer over
// the bound waits until a silent connection is old enough to be closed and
// takes its place.
TEST_F(DictServerTest, NewcomersGetAPlaceBeforeFreshSilentConnectionsKeepIt) {
  DictdProcess dictd({"--timeout-ms", "60000", "--quiet"}, dir_.File("log"));
  ASSERT_TRUE(dictd.running());
  std::vector<int> idle;
  for (int i = 0; i < 64; ++i) {
    idle.push_back(testing::ConnectLoopback(dictd.port()));
    ASSERT_GE(idle.back(), 0);
  }
  std::atomic<int> served{0};
  std::atomic<int> busy{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 8; ++c) {
    clients.emplace_back([&] {
      for (int i = 0; i < 5; ++i) {
        int status = StatusOf(Exchange(dictd.port(), ProgramRequest(dictd.port(), "apple")));
        (status == 200 ? served : busy).fetch_add(1);
      }
    });
  }
  for (auto& client : clients) client.join();
  EXPECT_EQ(served.load(), 40);
  EXPECT_EQ(busy.load(), 0);
  for (int fd : idle) close(fd);
}

TEST_F(DictServerTest, BadStartsEndWithAnExitCode) {
  dir_.Write("empty.tsv", "# no words\n");
  DictdProcess holder({"--quiet"}, dir_.File("log"));
  ASSERT_TRUE(holder.running());
  const struct {
    std::vector<std::string> arguments;
    int exitCode;
  } cases[] = {
      {{"--port", "http"}, 2},
      {{"--port", "70000"}, 2},
      {{"--max-connections", "0"}, 2},
      {{"--timeout-ms"}, 2},
      {{"--frobnicate", "1"}, 2},
      {{"--port", "0", "--data", dir_.File("missing.tsv")}, 1},
      {{"--port", "0", "--data", dir_.File("empty.tsv")}, 1},
      {{"--address", "127.0.0.1", "--port", std::to_string(holder.port())}, 1},  // taken
      {{"--address", "not-an-address.invalid", "--port", "0"}, 1},
      {{"--help"}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(testing::RunDictdToEnd(c.arguments), c.exitCode) << c.arguments[0];
}

}  // namespace
}  // namespace quorvo::dictd
