// quorvo asked to end (SIGTERM, as renova does) while lookups store their
// translations: what was stored before the signal is in dict_main.db
// afterwards, and the program ends with status 4 within a second.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include "base/code_page.h"
#include "testing/loopback_dictionary.h"
#include "testing/word_fixture.h"
#include "wordapp/tests/gui_fixture.h"
#include "wordstore/word_bank.h"

extern char** environ;

namespace quorvo {
namespace {

using testing::LoopbackDictionary;
using Clock = std::chrono::steady_clock;

class StopTest : public testing::GuiTest {
 protected:
  // Runs the stop driver on the bank, lets it look up every word, ends it
  // with SIGTERM once the dictionary has answered the quick words, and
  // checks the status, the time it took and the stored translations.
  void LookUpThenStop(bool withHangingWord, std::chrono::milliseconds limit);
};

// Twelve words answered at once and one whose answer hangs, so that a
// lookup is still running and the write group stays open: the program
// commits the group and ends within a second even though that lookup never
// finishes.
TEST_F(StopTest, SigtermDuringLookupsKeepsEveryStoredTranslation) { LookUpThenStop(true, std::chrono::seconds(1)); }

// With every lookup done, the window thread's own ending (not the stop
// handler's time limit) ends the program, well before that limit.
TEST_F(StopTest, SigtermWhenIdleEndsThroughTheWindowThread) { LookUpThenStop(false, std::chrono::milliseconds(600)); }

void StopTest::LookUpThenStop(bool withHangingWord, std::chrono::milliseconds limit) {
  const std::map<std::string, std::string> fast = {
      {"apple", "苹果"}, {"bread", "面包"}, {"cloud", "云"},  {"dream", "梦"},   {"eagle", "鹰"},  {"field", "田野"},
      {"grape", "葡萄"}, {"house", "房子"}, {"island", "岛"}, {"juice", "果汁"}, {"kite", "风筝"}, {"lemon", "柠檬"}};
  std::atomic<bool> release{false};
  LoopbackDictionary dictionary([&](const std::string& word) -> std::optional<LoopbackDictionary::Parts> {
    if (word == "zebra") {
      for (int i = 0; i < 500 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      return LoopbackDictionary::Parts{{"n.", "斑马"}};
    }
    auto found = fast.find(word);
    if (found == fast.end()) return std::nullopt;
    return LoopbackDictionary::Parts{{"n.", found->second}};
  });
  for (const auto& [word, trans] : fast) Put(kMainWord, word, "旧", 1);
  if (withHangingWord) Put(kMainWord, "zebra", "旧", 1);
  const size_t words = fast.size() + (withHangingWord ? 1 : 0);

  std::string host = dictionary.HostPort();
  // No update server: quorvo checks nothing at start.
  std::vector<std::string> envText = {"QUORVO_DICT_HOST=" + host, "QT_QPA_PLATFORM=offscreen"};
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    if (entry.rfind("QUORVO_DICT_HOST=", 0) != 0 && entry.rfind("QUORVO_UPDATE_SERVER=", 0) != 0 &&
        entry.rfind("QT_QPA_PLATFORM=", 0) != 0)
      envText.push_back(entry);
  }
  std::vector<char*> envp;
  for (auto& entry : envText) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int out[2];
  ASSERT_EQ(0, pipe2(out, O_CLOEXEC));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  char program[] = STOP_DRIVER;
  char* argv[] = {program, nullptr};
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  ASSERT_EQ(0, spawned);

  // Its output up to the line that says the lookups were started. The pipe
  // stays open until it has ended, so that no later line meets a closed one.
  std::string output;
  const std::string started = "looking up " + std::to_string(words) + "\n";
  auto outputDeadline = Clock::now() + std::chrono::seconds(20);
  while (output.find("looking up") == std::string::npos || output.back() != '\n') {
    pollfd fd{out[0], POLLIN, 0};
    if (Clock::now() > outputDeadline || poll(&fd, 1, 1000) < 0) break;
    char buffer[256];
    ssize_t n = fd.revents ? read(out[0], buffer, sizeof buffer) : 0;
    if (n < 0 || (fd.revents && n == 0)) break;
    output.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_NE(std::string::npos, output.find(started)) << output;

  // Every fast word answered: their stores are done or about to be, inside
  // a write group that the hanging lookup keeps open.
  auto deadline = Clock::now() + std::chrono::seconds(20);
  auto answeredAll = [&] {
    auto asked = dictionary.RequestedWords();
    for (const auto& [word, trans] : fast)
      if (!asked.count(word)) return false;
    return !withHangingWord || asked.count("zebra") > 0;
  };
  while (!answeredAll() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_TRUE(answeredAll());
  std::this_thread::sleep_for(std::chrono::milliseconds(40));

  ASSERT_EQ(0, kill(pid, SIGTERM));
  auto signalled = Clock::now();
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0 && Clock::now() - signalled < std::chrono::seconds(10))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  auto took = Clock::now() - signalled;
  if (Clock::now() - signalled >= std::chrono::seconds(10)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  release = true;
  close(out[0]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(4, WEXITSTATUS(status));
  EXPECT_LT(took, limit);

  std::map<std::string, std::string> stored;
  for (const auto& row : testing::ReadBank(DbPath(), kMainWord)) stored[row.value] = Utf8(row.trans);
  for (const auto& [word, trans] : fast) EXPECT_EQ("n. " + trans + "\n", stored[word]) << word;
  EXPECT_EQ(words, stored.size());
}

}  // namespace
}  // namespace quorvo
