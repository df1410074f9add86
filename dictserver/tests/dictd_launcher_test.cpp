#include "dictserver/dictd_launcher.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "dictserver/tests/dictd_process.h"
#include "dictserver/tests/program_reader.h"
#include "lookup/dictionary_host.h"
#include "testing/loopback_server.h"
#include "testing/scoped_dictionary_host.h"
#include "testing/temp_dir.h"

namespace quorvo {
namespace {

using testing::FreePort;

int PortOf(const std::string& host) {
  size_t colon = host.rfind(':');
  return colon == std::string::npos ? 0 : std::stoi(host.substr(colon + 1));
}

// Waits, a bounded while, for the port to stop answering.
bool GoesQuiet(const std::string& host) {
  for (int i = 0; i < 500; ++i) {
    if (!HostAnswers(host, 100)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

bool ProcessGone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

// Another user's server at a fixed loopback port: it listens and never
// accepts, so any connection made to it stays queued and is seen.
class Squatter {
 public:
  explicit Squatter(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ >= 0 && (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd_, 16) != 0)) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~Squatter() {
    if (fd_ >= 0) close(fd_);
  }
  Squatter(const Squatter&) = delete;
  Squatter& operator=(const Squatter&) = delete;
  bool listening() const { return fd_ >= 0; }
  // True when some connection came in.
  bool Asked() const {
    int accepted = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (accepted < 0) return false;
    close(accepted);
    return true;
  }

 private:
  int fd_ = -1;
};

// Whoever listens first at 8666 (or any fixed port) is never asked: quorvo
// starts its own service on the port the kernel picked, the lookups use the
// port the child reported, and it goes quiet when the service ends.
TEST(DictdLauncherTest, OwnServiceOnTheReportedPortAndNoSquatterIsAsked) {
  testing::ScopedDictionaryHost unset("");
  ASSERT_EQ(ConfiguredDictionaryHost(), "") << "the test build configures no dictionary host";
  Squatter usual(8666);  // may be taken by someone else: then only the other one
  Squatter other(FreePort());
  ASSERT_TRUE(other.listening());
  for (bool wait : {true, false}) {
    std::string host;
    pid_t pid = 0;
    {
      BundledDictionary dictionary;
      BundledDictionaryState state =
          wait ? dictionary.Start("", QUORVO_BIN_DIR) : dictionary.StartWithoutWaiting("", QUORVO_BIN_DIR);
      ASSERT_EQ(state, wait ? BundledDictionaryState::Started : BundledDictionaryState::Launched);
      for (int i = 0; i < 1000 && dictionary.State() == BundledDictionaryState::Launched; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      ASSERT_EQ(dictionary.State(), BundledDictionaryState::Started);
      pid = dictionary.pid();
      host = dictionary.Host();
      EXPECT_EQ(host.rfind("127.0.0.1:", 0), 0u) << host;
      EXPECT_EQ(DictionaryHost(), host);
      EXPECT_NE(PortOf(host), 8666);
      EXPECT_EQ(dictd::testing::ReadLikeProgram(PortOf(DictionaryHost()), "apple").rfind("n. 苹果", 0), 0u);
      // A second start while it runs starts nothing more.
      EXPECT_EQ(dictionary.Start("", QUORVO_BIN_DIR), BundledDictionaryState::AlreadyAnswering);
      EXPECT_EQ(dictionary.Revive("", QUORVO_BIN_DIR), BundledDictionaryState::AlreadyAnswering);
      EXPECT_EQ(dictionary.pid(), pid);
    }  // the destructor ends it
    EXPECT_TRUE(ProcessGone(pid)) << wait;
    EXPECT_TRUE(GoesQuiet(host)) << wait;
    EXPECT_EQ(DictionaryHost(), "") << wait;
  }
  EXPECT_FALSE(other.Asked());
  if (usual.listening()) {
    EXPECT_FALSE(usual.Asked());
  }
}

// A configured host is used as given: nothing is started for it, and it is
// what the lookups ask.
TEST(DictdLauncherTest, ConfiguredHostStartsNothing) {
  for (std::string configured : {"127.0.0.1:8666", "dict.invalid:8080"}) {
    testing::ScopedDictionaryHost set(configured);
    BundledDictionary dictionary;
    EXPECT_EQ(dictionary.Start(ConfiguredDictionaryHost(), QUORVO_BIN_DIR), BundledDictionaryState::OtherHost);
    EXPECT_EQ(dictionary.Revive(ConfiguredDictionaryHost(), QUORVO_BIN_DIR), BundledDictionaryState::OtherHost);
    EXPECT_EQ(dictionary.pid(), 0);
    EXPECT_EQ(DictionaryHost(), configured);
  }
}

// Ended while the watcher still waits for the service: both go.
TEST(DictdLauncherTest, StopDuringTheWatchEndsTheService) {
  BundledDictionary dictionary;
  ASSERT_EQ(dictionary.StartWithoutWaiting("", QUORVO_BIN_DIR), BundledDictionaryState::Launched);
  pid_t pid = dictionary.pid();
  dictionary.Stop();
  EXPECT_EQ(dictionary.pid(), 0);
  EXPECT_TRUE(ProcessGone(pid));
  EXPECT_EQ(dictionary.Host(), "");
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
    BundledDictionary dictionary;
    if (given) dictionary.SetDataFile(dir.File("share/words.tsv"));
    BundledDictionaryState state = dictionary.Start("", dir.File("libexec"));
    if (!given) {
      // Nothing beside the service: it cannot load and ends.
      EXPECT_EQ(state, BundledDictionaryState::Failed);
      continue;
    }
    ASSERT_EQ(state, BundledDictionaryState::Started);
    EXPECT_EQ(dictd::testing::ReadLikeProgram(PortOf(dictionary.Host()), "apple").rfind("n. 苹果", 0), 0u);
  }
}

// Waits, a bounded while, for the watcher to tell how the start went.
BundledDictionaryState Outcome(const BundledDictionary& dictionary) {
  for (int i = 0; i < 1000 && dictionary.State() == BundledDictionaryState::Launched; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return dictionary.State();
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
      {dir.path(), 2000},                                          // no quorvo-dictd there
      {script("exits", "exit 1"), 5000},                           // ends at once (say, its data is missing)
      {script("silent", "exec sleep 30"), 300},                    // never tells its port: ended by the launcher
      {script("garbled", "echo 8666x >&3; exec sleep 30"), 5000},  // tells no port
  };
  for (const auto& c : cases) {
    BundledDictionary dictionary;
    EXPECT_EQ(dictionary.Start("", c.folder, c.waitMs), BundledDictionaryState::Failed) << c.folder;
    EXPECT_EQ(dictionary.pid(), 0) << c.folder;
    EXPECT_EQ(dictionary.Host(), "") << c.folder;
    // Without waiting: the same outcome, told by the watcher.
    BundledDictionaryState launched = dictionary.StartWithoutWaiting("", c.folder, c.waitMs);
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
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    pid_t quorvo = fork();
    ASSERT_GE(quorvo, 0);
    if (quorvo == 0) {
      BundledDictionary dictionary;
      BundledDictionaryState state = wait ? dictionary.Start("", QUORVO_BIN_DIR)
                                          : (dictionary.StartWithoutWaiting("", QUORVO_BIN_DIR), Outcome(dictionary));
      std::string told = state == BundledDictionaryState::Started ? dictionary.Host() : "n";
      ssize_t ignored = write(report[1], told.data(), told.size());
      (void)ignored;
      _exit(0);  // no destructor runs
    }
    close(report[1]);
    char told[64] = {};
    ASSERT_GT(read(report[0], told, sizeof told - 1), 1);
    close(report[0]);
    waitpid(quorvo, nullptr, 0);
    std::string host = told;
    EXPECT_EQ(host.rfind("127.0.0.1:", 0), 0u) << wait;
    EXPECT_TRUE(GoesQuiet(host)) << wait;
  }
}

}  // namespace
}  // namespace quorvo
