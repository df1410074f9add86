#include "update/word_app_process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "testing/temp_dir.h"
#include "update/tests/update_test_support.h"

namespace quorvo {
namespace {

using testing::FakeWordApp;
using testing::TempDir;

// Only processes this test started are looked at or ended: other programs of
// the machine named quorvo are none of its business.
int FindOurWordApp() { return FindProcessByName("quorvo", testing::IsChildOfThisProcess); }

TEST(WordAppProcessTest, FindsByExecutableNameIgnoringCase) {
  TempDir dir;
  EXPECT_EQ(-1, FindOurWordApp());

  FakeWordApp published(dir.path(), "lexmuse");
  FakeWordApp similar(dir.path(), "quorvo2");
  ASSERT_TRUE(published.ready() && similar.ready());
  EXPECT_EQ(-1, FindOurWordApp());  // neither is the word application

  FakeWordApp shouting(dir.path(), "QUORVO");
  ASSERT_TRUE(shouting.ready());
  EXPECT_EQ(shouting.pid(), FindOurWordApp());
  EXPECT_EQ("QUORVO", ExecutableNameOf(shouting.pid()));
}

// Two quorvo processes in two folders, and other programs beside them: only
// the quorvo of the folder asked for is found and ended, with status 4.
TEST(WordAppProcessTest, OnlyTheQuorvoOfTheAppFolderEnds) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("a"));
  std::filesystem::create_directory(dir.File("b"));
  std::filesystem::create_directory_symlink(dir.File("b"), dir.File("link-to-b"));
  FakeWordApp one(dir.File("a"), "quorvo");
  FakeWordApp two(dir.File("b"), "quorvo");
  FakeWordApp published(dir.File("a"), "lexmuse");
  FakeWordApp shouting(dir.File("a"), "QUORVO");
  FakeWordApp outside(dir.path(), "quorvo2");
  ASSERT_TRUE(one.ready() && two.ready() && published.ready() && shouting.ready() && outside.ready());

  EXPECT_EQ(one.pid(), FindWordAppProcess(dir.File("a")));
  EXPECT_EQ(two.pid(), FindWordAppProcess(dir.File("b")));
  EXPECT_EQ(two.pid(), FindWordAppProcess(dir.File("link-to-b")));  // the same folder by another path
  EXPECT_EQ(-1, FindWordAppProcess(dir.path()));
  EXPECT_EQ(-1, FindWordAppProcess(dir.File("missing")));

  struct Refused {
    const char* name;
    int pid;
    std::string folder;
  } refused[] = {
      {"another folder's quorvo", two.pid(), dir.File("a")},
      {"the published name", published.pid(), dir.File("a")},
      {"another letter case", shouting.pid(), dir.File("a")},
      {"a quorvo of a folder below", one.pid(), dir.path()},
      {"no process", -1, dir.File("a")},
      {"the process group", 0, dir.File("a")},
  };
  for (const Refused& r : refused) EXPECT_FALSE(StopWordApp(r.pid, r.folder)) << r.name;
  usleep(100000);
  for (FakeWordApp* app : {&one, &two, &published, &shouting, &outside}) EXPECT_TRUE(app->Running());

  EXPECT_TRUE(StopWordApp(one.pid(), dir.File("a")));
  EXPECT_EQ(4, one.WaitForExit());
  EXPECT_EQ(-1, FindWordAppProcess(dir.File("a")));
  for (FakeWordApp* app : {&two, &published, &shouting, &outside}) EXPECT_TRUE(app->Running());

  EXPECT_TRUE(StopWordApp(two.pid(), dir.File("link-to-b")));
  EXPECT_EQ(4, two.WaitForExit());
}

// A quorvo that does not end on SIGTERM is killed once the patience is
// over; one whose own stop work hangs ends with status 4 within a second.
TEST(WordAppProcessTest, AQuorvoThatDoesNotEndIsEndedAnyway) {
  TempDir dir;
  FakeWordApp deaf(dir.path(), "quorvo", "--ignore-stop");
  ASSERT_TRUE(deaf.ready());
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(StopWordApp(deaf.pid(), dir.path(), std::chrono::milliseconds(300)));
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  EXPECT_LT(waited, std::chrono::milliseconds(2000));
  EXPECT_EQ(-1, deaf.WaitForExit());  // ended by a signal

  FakeWordApp stuck(dir.path(), "quorvo", "--stuck-on-stop");
  ASSERT_TRUE(stuck.ready());
  start = std::chrono::steady_clock::now();
  EXPECT_TRUE(StopWordApp(stuck.pid(), dir.path()));
  waited = std::chrono::steady_clock::now() - start;
  EXPECT_LT(waited, std::chrono::milliseconds(1500));
  EXPECT_EQ(4, stuck.WaitForExit());
}

TEST(WordAppProcessTest, AnExecutableReplacedOnDiskStillNamesItsProcess) {
  TempDir dir;
  FakeWordApp running(dir.path(), "quorvo");
  ASSERT_TRUE(running.ready());
  dir.Write("quorvo.bak", "new copy");
  std::filesystem::rename(dir.File("quorvo.bak"), dir.File("quorvo"));
  EXPECT_EQ(running.pid(), FindOurWordApp());
  EXPECT_EQ(running.pid(), FindWordAppProcess(dir.path()));
}

}  // namespace
}  // namespace quorvo
