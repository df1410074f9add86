#include "word_app_process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "temp_dir.h"
#include "update_test_support.h"

namespace quorvo {
namespace {

using testing::FakeWordApp;
using testing::TempDir;

// Only processes this test started are looked at or ended: other programs of
// the machine named quorvo are none of its business.
int FindOurWordApp() { return FindProcessByName("quorvo", testing::IsChildOfThisProcess); }

char ProcessStateOf(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(in, stat);
  size_t close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() ? '?' : stat[close + 2];
}

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

TEST(WordAppProcessTest, StopEndsTheFirstInstanceWithStatusFour) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("a"));
  std::filesystem::create_directory(dir.File("b"));
  FakeWordApp one(dir.File("a"), "quorvo");
  FakeWordApp two(dir.File("b"), "quorvo");
  FakeWordApp published(dir.path(), "lexmuse");
  ASSERT_TRUE(one.ready() && two.ready() && published.ready());

  int first = std::min(one.pid(), two.pid());
  ASSERT_EQ(first, FindOurWordApp());
  StopWordApp(first);
  FakeWordApp& stopped = first == one.pid() ? one : two;
  FakeWordApp& other = first == one.pid() ? two : one;
  // Ended but not yet reaped, it lingers as a zombie that no longer counts.
  for (int i = 0; i < 2000 && ProcessStateOf(first) != 'Z'; ++i) usleep(10000);
  ASSERT_EQ('Z', ProcessStateOf(first));
  EXPECT_EQ(other.pid(), FindOurWordApp());
  EXPECT_EQ(4, stopped.WaitForExit());
  EXPECT_TRUE(other.Running());
  EXPECT_TRUE(published.Running());

  StopWordApp(other.pid());
  EXPECT_EQ(4, other.WaitForExit());
  EXPECT_EQ(-1, FindOurWordApp());
  EXPECT_TRUE(published.Running());
}

TEST(WordAppProcessTest, AnExecutableReplacedOnDiskStillNamesItsProcess) {
  TempDir dir;
  FakeWordApp running(dir.path(), "quorvo");
  ASSERT_TRUE(running.ready());
  dir.Write("quorvo.bak", "new copy");
  std::filesystem::rename(dir.File("quorvo.bak"), dir.File("quorvo"));
  EXPECT_EQ(running.pid(), FindOurWordApp());
}

}  // namespace
}  // namespace quorvo
