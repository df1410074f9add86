#include "dictserver/dictd_launcher.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "dictserver/tests/dictd_process.h"
#include "dictserver/tests/program_reader.h"
#include "testing/loopback_server.h"
#include "testing/temp_dir.h"

namespace quorvo {
namespace {

using testing::FreePort;

std::string Loopback(int port) { return "127.0.0.1:" + std::to_string(port); }

// Waits, a bounded while, for the port to stop answering.
bool GoesQuiet(const std::string& host) {
  for (int i = 0; i < 500; ++i) {
    if (!HostAnswers(host, 100)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

bool ProcessGone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

TEST(DictdLauncherTest, StartsTheServiceForTheBuildsHostAndEndsIt) {
  std::string host = Loopback(FreePort());
  pid_t pid = 0;
  {
    BundledDictionary dictionary;
    ASSERT_EQ(dictionary.Start(host, host, QUORVO_BIN_DIR), BundledDictionaryState::Started);
    pid = dictionary.pid();
    EXPECT_GT(pid, 0);
    int port = std::stoi(host.substr(host.rfind(':') + 1));
    EXPECT_EQ(dictd::testing::ReadLikeProgram(port, "apple").rfind("n. 苹果", 0), 0u);
    // A second start while it runs starts nothing more.
    EXPECT_EQ(dictionary.Start(host, host, QUORVO_BIN_DIR), BundledDictionaryState::AlreadyAnswering);
    EXPECT_EQ(dictionary.pid(), pid);
  }  // the destructor ends it
  EXPECT_TRUE(ProcessGone(pid));
  EXPECT_FALSE(HostAnswers(host, 200));
}

// Waits, a bounded while, for the watcher to tell how the start went.
BundledDictionaryState Outcome(const BundledDictionary& dictionary) {
  for (int i = 0; i < 1000 && dictionary.State() == BundledDictionaryState::Launched; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return dictionary.State();
}

TEST(DictdLauncherTest, StartWithoutWaitingReturnsAtOnceAndTheWatcherSeesItAnswer) {
  std::string host = Loopback(FreePort());
  pid_t pid = 0;
  {
    BundledDictionary dictionary;
    ASSERT_EQ(dictionary.StartWithoutWaiting(host, host, QUORVO_BIN_DIR), BundledDictionaryState::Launched);
    pid = dictionary.pid();
    EXPECT_GT(pid, 0);
    EXPECT_EQ(Outcome(dictionary), BundledDictionaryState::Started);
    EXPECT_TRUE(HostAnswers(host, 200));
    EXPECT_EQ(dictionary.StartWithoutWaiting(host, host, QUORVO_BIN_DIR), BundledDictionaryState::AlreadyAnswering);
    EXPECT_EQ(dictionary.pid(), pid);
  }
  EXPECT_TRUE(ProcessGone(pid));
  EXPECT_FALSE(HostAnswers(host, 200));
}

// Ended while the watcher still waits for the service: both go.
TEST(DictdLauncherTest, StopDuringTheWatchEndsTheService) {
  std::string host = Loopback(FreePort());
  BundledDictionary dictionary;
  ASSERT_EQ(dictionary.StartWithoutWaiting(host, host, QUORVO_BIN_DIR), BundledDictionaryState::Launched);
  pid_t pid = dictionary.pid();
  dictionary.Stop();
  EXPECT_EQ(dictionary.pid(), 0);
  EXPECT_TRUE(ProcessGone(pid));
  EXPECT_TRUE(GoesQuiet(host));
}

TEST(DictdLauncherTest, StartsNothingForAnotherHostOrWhenSomethingAnswers) {
  quorvo::testing::TempDir dir;
  std::string unused = Loopback(FreePort());
  BundledDictionary dictionary;
  EXPECT_EQ(dictionary.Start(unused, "127.0.0.1:8666", QUORVO_BIN_DIR), BundledDictionaryState::OtherHost);
  EXPECT_EQ(dictionary.Start("dict.example.org", unused, QUORVO_BIN_DIR), BundledDictionaryState::OtherHost);
  EXPECT_EQ(dictionary.pid(), 0);
  EXPECT_FALSE(HostAnswers(unused, 200));

  dictd::testing::DictdProcess running({"--quiet"}, dir.File("log"));
  ASSERT_TRUE(running.running());
  std::string taken = Loopback(running.port());
  EXPECT_EQ(dictionary.Start(taken, taken, QUORVO_BIN_DIR), BundledDictionaryState::AlreadyAnswering);
  EXPECT_EQ(dictionary.pid(), 0);
}

// An installed quorvo keeps the service in libexec/quorvo and its data in
// share/quorvo: the data file is handed over, not looked for beside it.
TEST(DictdLauncherTest, ServiceReadsTheDataFileItIsGiven) {
  quorvo::testing::TempDir dir;
  mkdir(dir.File("libexec").c_str(), 0755);
  mkdir(dir.File("share").c_str(), 0755);
  std::filesystem::copy_file(std::string(QUORVO_BIN_DIR) + "/quorvo-dictd", dir.File("libexec/quorvo-dictd"));
  std::filesystem::copy_file(std::string(QUORVO_BIN_DIR) + "/quorvo-dict.tsv", dir.File("share/words.tsv"));
  for (bool given : {false, true}) {
    std::string host = Loopback(FreePort());
    BundledDictionary dictionary;
    if (given) dictionary.SetDataFile(dir.File("share/words.tsv"));
    BundledDictionaryState state = dictionary.Start(host, host, dir.File("libexec"));
    if (!given) {
      // Nothing beside the service: it cannot load and ends.
      EXPECT_EQ(state, BundledDictionaryState::Failed);
      continue;
    }
    ASSERT_EQ(state, BundledDictionaryState::Started);
    int port = std::stoi(host.substr(host.rfind(':') + 1));
    EXPECT_EQ(dictd::testing::ReadLikeProgram(port, "apple").rfind("n. 苹果", 0), 0u);
  }
}

TEST(DictdLauncherTest, FailsCleanlyWhenTheServiceCannotRun) {
  quorvo::testing::TempDir dir;
  auto script = [&dir](const std::string& folder, const std::string& body) {
    mkdir(dir.File(folder).c_str(), 0755);
    dir.Write(folder + "/quorvo-dictd", "#!/bin/sh\n" + body + "\n");
    chmod(dir.File(folder + "/quorvo-dictd").c_str(), 0755);
    return dir.File(folder);
  };
  const struct {
    std::string folder;
    int waitMs;
  } cases[] = {
      {dir.path(), 2000},                        // no quorvo-dictd there
      {script("exits", "exit 1"), 5000},         // ends at once (say, its data is missing)
      {script("silent", "exec sleep 30"), 300},  // never answers: ended by the launcher
  };
  for (const auto& c : cases) {
    std::string host = Loopback(FreePort());
    BundledDictionary dictionary;
    EXPECT_EQ(dictionary.Start(host, host, c.folder, c.waitMs), BundledDictionaryState::Failed) << c.folder;
    EXPECT_EQ(dictionary.pid(), 0) << c.folder;
    // Without waiting: the same outcome, told by the watcher.
    BundledDictionaryState launched = dictionary.StartWithoutWaiting(host, host, c.folder, c.waitMs);
    if (launched != BundledDictionaryState::Failed) {
      EXPECT_EQ(launched, BundledDictionaryState::Launched) << c.folder;
      EXPECT_EQ(Outcome(dictionary), BundledDictionaryState::Failed) << c.folder;
    }
    EXPECT_EQ(dictionary.pid(), 0) << c.folder;
  }
}

// Should quorvo die without a word, the service goes with it, also when
// the watcher thread that waited for it has ended before.
TEST(DictdLauncherTest, ServiceEndsWhenQuorvoDies) {
  for (bool wait : {true, false}) {
    std::string host = Loopback(FreePort());
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    pid_t quorvo = fork();
    ASSERT_GE(quorvo, 0);
    if (quorvo == 0) {
      BundledDictionary dictionary;
      BundledDictionaryState state =
          wait ? dictionary.Start(host, host, QUORVO_BIN_DIR)
               : (dictionary.StartWithoutWaiting(host, host, QUORVO_BIN_DIR), Outcome(dictionary));
      char started = state == BundledDictionaryState::Started ? 'y' : 'n';
      ssize_t ignored = write(report[1], &started, 1);
      (void)ignored;
      _exit(0);  // no destructor runs
    }
    close(report[1]);
    char started = 0;
    ASSERT_EQ(read(report[0], &started, 1), 1);
    close(report[0]);
    waitpid(quorvo, nullptr, 0);
    EXPECT_EQ(started, 'y') << wait;
    EXPECT_TRUE(GoesQuiet(host)) << wait;
  }
}

}  // namespace
}  // namespace quorvo
