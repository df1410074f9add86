// The bundled dictionary killed between and during runs of lookups: the
// keeper reaps the dead service, starts a new one, and the next words are
// translated; when no service can be started, the run says so once and no
// good translation is lost.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "base/code_page.h"
#include "dictserver/dictd_launcher.h"
#include "lookup/lookup_run.h"
#include "lookup/task_pool.h"
#include "lookup/translation_store.h"
#include "lookup/translation_task.h"
#include "testing/loopback_server.h"
#include "testing/scoped_dictionary_host.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

using testing::FreePort;

// A zombie still answers kill(pid, 0): only a reaped process is gone.
bool Reaped(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

// The state of /proc/<pid>/stat ('Z' for a zombie), or 0 when gone.
char ProcessState(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  size_t paren = text.rfind(')');
  return paren == std::string::npos || paren + 2 >= text.size() ? 0 : text[paren + 2];
}

int PortOf(const std::string& host) { return std::stoi(host.substr(host.rfind(':') + 1)); }

// True when a connection to 127.0.0.1:port is refused: nothing listens.
bool Refuses(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool refused = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno == ECONNREFUSED;
  close(fd);
  return refused;
}

class DictdReviveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(dir.File("dict_main.db")));
    testing::CreateBanks(db, {kMainWord});
  }

  // Queues the words as one run whose keeper revives the dictionary.
  std::shared_ptr<LookupRun> Run(TaskPool& pool, const std::vector<std::string>& words, const std::string& folder) {
    auto run = std::make_shared<LookupRun>(static_cast<int>(words.size()));
    run->SetKeeper([this, folder] {
      ++keeperCalls;
      BundledDictionaryState state = dictionary.Revive("", folder);
      return state == BundledDictionaryState::Started || state == BundledDictionaryState::AlreadyAnswering;
    });
    for (const auto& word : words) pool.Submit(LookupWordTask, MakeTranslationTask(word, 1, &db, kMainWord, run));
    return run;
  }

  std::string Trans(const std::string& word) {
    for (const auto& row : testing::ReadBank(dir.File("dict_main.db"), kMainWord))
      if (row.value == word) return Utf8(row.trans);
    return "(missing)";
  }

  // Until the kernel has ended every thread of a killed service, it may
  // still accept a connection and then drop it: a cut lookup, not a refused
  // one. The leader shows as a zombie before the last of its threads is
  // gone, so this waits for that and for the port to refuse.
  void WaitUntilGone(pid_t pid, int port) {
    for (int i = 0; i < 400 && (ProcessState(pid) != 'Z' || !Refuses(port)); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ('Z', ProcessState(pid));
    ASSERT_TRUE(Refuses(port));
  }

  testing::TempDir dir;
  WordDatabase db;
  // The own service: no host configured.
  testing::ScopedDictionaryHost scopedHost{""};
  BundledDictionary dictionary;
  std::atomic<int> keeperCalls{0};
};

TEST_F(DictdReviveTest, KilledBetweenRunsIsReapedAndStartedAgain) {
  ASSERT_EQ(BundledDictionaryState::Started, dictionary.Start("", QUORVO_BIN_DIR));
  pid_t first = dictionary.pid();
  int firstPort = PortOf(dictionary.Host());
  ASSERT_EQ(0, kill(first, SIGKILL));
  WaitUntilGone(first, firstPort);  // dead, and nobody has reaped it yet

  // The check before the next run.
  EXPECT_EQ(BundledDictionaryState::Started, dictionary.Revive("", QUORVO_BIN_DIR));
  EXPECT_TRUE(Reaped(first));
  EXPECT_GT(dictionary.pid(), 0);
  EXPECT_NE(first, dictionary.pid());
  // Nothing to do while it answers.
  EXPECT_EQ(BundledDictionaryState::AlreadyAnswering, dictionary.Revive("", QUORVO_BIN_DIR));

  TaskPool pool;
  auto run = Run(pool, {"apple", "house"}, QUORVO_BIN_DIR);
  pool.Shutdown();
  EXPECT_EQ(2, run->Translated());
  EXPECT_EQ(0, keeperCalls.load());
  EXPECT_EQ(0u, Trans("apple").rfind("n. 苹果", 0)) << Trans("apple");
}

TEST_F(DictdReviveTest, KilledDuringARunTheNextWordsAreTranslated) {
  ASSERT_EQ(BundledDictionaryState::Started, dictionary.Start("", QUORVO_BIN_DIR));
  pid_t first = dictionary.pid();
  int firstPort = PortOf(dictionary.Host());
  TaskPool pool;
  auto before = Run(pool, {"apple"}, QUORVO_BIN_DIR);
  while (!before->Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(1, before->Translated());

  ASSERT_EQ(0, kill(first, SIGKILL));
  WaitUntilGone(first, firstPort);
  std::vector<std::string> words = {"house", "water", "green", "money", "happy", "river", "table", "night"};
  auto run = Run(pool, words, QUORVO_BIN_DIR);
  pool.Shutdown();
  EXPECT_EQ(static_cast<int>(words.size()), run->Translated());
  EXPECT_EQ(0, run->NotFound());
  EXPECT_FALSE(run->DictionaryLost());
  EXPECT_EQ(1, keeperCalls.load());  // one revival served every refused lookup
  EXPECT_TRUE(Reaped(first));
  for (const auto& word : words) EXPECT_EQ(std::string::npos, Trans(word).find("not found")) << word;
}

TEST_F(DictdReviveTest, AServiceThatCannotBeStartedIsToldOnceAndKeepsTranslations) {
  ASSERT_EQ(BundledDictionaryState::Started, dictionary.Start("", QUORVO_BIN_DIR));
  pid_t first = dictionary.pid();
  int firstPort = PortOf(dictionary.Host());
  ASSERT_EQ(0, kill(first, SIGKILL));
  WaitUntilGone(first, firstPort);
  testing::PutWord(db, kMainWord, "house", "n. 房子", 4);
  TaskPool pool;
  // A folder without the service: the revival fails.
  auto run = Run(pool, {"house", "water", "green"}, dir.path());
  pool.Shutdown();
  EXPECT_TRUE(run->DictionaryLost());
  EXPECT_EQ(1, keeperCalls.load());
  EXPECT_EQ(0, run->Translated());
  EXPECT_EQ(1, run->Kept());
  // Not looked up is not "not found": the summary tells the learner why.
  EXPECT_EQ(0, run->NotFound());
  EXPECT_EQ(2, run->Unreachable());
  EXPECT_EQ("127.0.0.1:" + std::to_string(firstPort), run->UnreachableHost());
  EXPECT_EQ("n. 房子", Trans("house"));
  EXPECT_EQ(kNotFoundTranslation, Trans("water"));
}

}  // namespace
}  // namespace quorvo
