// renova-release refusing: whatever publish refuses leaves the output
// folder (and the folder around it) byte for byte as it was; keygen writes
// nothing unless both paths are free; verify refuses what quorvo and renova
// would refuse.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "testing/temp_dir.h"
#include "update/tests/update_test_support.h"

namespace quorvo {
namespace {

using testing::Exists;
using testing::Snapshot;
using testing::TempDir;

int RunTool(const std::vector<std::string>& args) {
  std::string command = RENOVA_RELEASE;
  for (const std::string& arg : args) command += " '" + arg + "'";
  command += " >/dev/null 2>&1";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  return out;
}

class ReleaseToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, RunTool({"keygen", "--secret", keys.File("secret"), "--public", keys.File("public")}));
    for (const char* name : {"quorvo", "renova", "words.txt", "Words.txt", "dict_main.db", "lexmuse"})
      build.Write(name, std::string(name) + " of version 3");
    std::filesystem::create_directories(build.File("other"));
    build.Write("other/words.txt", "other words");
    // Version 2 is live, with a file of the publisher's own beside it.
    ASSERT_EQ(0, RunTool(Publish("2", {"quorvo", "renova", "words.txt"})));
    site.Write("lexmuse/notes.txt", "the publisher's notes");
  }
  std::vector<std::string> Publish(const std::string& version, const std::vector<std::string>& files,
                                   const std::string& secret = "secret") {
    std::vector<std::string> args = {"publish",
                                     "--secret",
                                     keys.File(secret),
                                     "--version",
                                     version,
                                     "--base-url",
                                     "http://updates.test/lexmuse",
                                     "--out",
                                     site.File("lexmuse")};
    for (const std::string& file : files) args.push_back(build.File(file));
    return args;
  }
  TempDir keys, build, site;
};

TEST_F(ReleaseToolTest, RefusedPublishesLeaveTheOutputFolderAsItWas) {
  std::filesystem::copy_file(keys.File("secret"), keys.File("open.key"));
  chmod(keys.File("open.key").c_str(), 0644);
  std::vector<std::string> badDays = Publish("3", {"quorvo", "renova"});
  badDays.insert(badDays.end() - 2, {"--expires-days", "0"});
  struct Case {
    const char* name;
    std::vector<std::string> args;
  } cases[] = {
      {"a secret key others may read", Publish("3", {"quorvo", "renova"}, "open.key")},
      {"a word bank", Publish("3", {"quorvo", "renova", "words.txt", "dict_main.db"})},
      {"words.txt twice", Publish("3", {"renova", "words.txt", "other/words.txt"})},
      {"names that differ in case", Publish("3", {"renova", "words.txt", "Words.txt"})},
      {"quorvo and lexmuse", Publish("3", {"quorvo", "renova", "lexmuse"})},
      {"a file that is not there, last", Publish("3", {"quorvo", "renova", "missing.txt"})},
      {"no renova", Publish("3", {"quorvo", "words.txt"})},
      {"an expiry of 0 days", badDays},
  };
  auto live = Snapshot(site.File("lexmuse"));
  auto around = Snapshot(site.path());
  for (const Case& c : cases) {
    EXPECT_EQ(1, RunTool(c.args)) << c.name;
    EXPECT_EQ(live, Snapshot(site.File("lexmuse"))) << c.name;
    EXPECT_EQ(around, Snapshot(site.path())) << c.name;  // no half-built folder beside it
  }

  // A good one replaces the release whole, keeps the publisher's file and
  // writes the expiry date the calendar gives (GNU date, not our code).
  std::vector<std::string> good = Publish("3", {"quorvo", "renova", "words.txt"});
  good.insert(good.end() - 3, {"--expires-days", "7"});
  ASSERT_EQ(0, RunTool(good));
  EXPECT_EQ("words.txt of version 3", site.Read("lexmuse/words.txt"));
  EXPECT_EQ("the publisher's notes", site.Read("lexmuse/notes.txt"));
  std::string expires = Shell("date -u -d '+7 days' +%F");
  EXPECT_NE(std::string::npos, site.Read("lexmuse/webconfig.ini").find("\nexpires=" + expires)) << expires;
  EXPECT_EQ(around, Snapshot(site.path()));  // "lexmuse" and nothing else
  EXPECT_EQ(0, RunTool({"verify", "--public", keys.File("public"), site.File("lexmuse")}));
}

TEST_F(ReleaseToolTest, KeygenNeedsTwoFreePathsAndVerifyRefusesWhatTheRoadRefuses) {
  build.Write("taken", "someone's file");
  EXPECT_EQ(1, RunTool({"keygen", "--secret", keys.File("new.key"), "--public", build.File("taken")}));
  EXPECT_FALSE(Exists(keys.File("new.key")));
  EXPECT_EQ(1, RunTool({"keygen", "--secret", build.File("taken"), "--public", keys.File("new.pub")}));
  EXPECT_FALSE(Exists(keys.File("new.pub")));
  EXPECT_EQ("someone's file", build.Read("taken"));

  testing::TestReleaseKey key;
  keys.Write("test.pub", key.PublicBase64() + "\n");
  const std::string base = "http://updates.test/lexmuse/";
  struct Case {
    const char* name;
    std::string manifest;
    int status;
  } cases[] = {
      {"a good release", testing::SignedManifestText(2, {{base + "words.txt", "w"}}, "r"), 0},
      {"a word bank", testing::SignedManifestText(2, {{base + "dict_main.db", "w"}}, "r"), 1},
      {"config.ini in capitals", testing::SignedManifestText(2, {{base + "CONFIG.INI", "w"}}, "r"), 1},
      {"words.txt twice",
       testing::SignedManifestText(2, {{base + "words.txt", "w"}, {"http://elsewhere/words.txt", "w"}}, "r"), 1},
      {"expired", testing::SignedManifestText(2, {{base + "words.txt", "w"}}, "r", "2000-01-01"), 1},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("words.txt", "w");
    dir.Write("renova", "r");
    dir.Write("webconfig.ini", c.manifest);
    dir.Write("webconfig.ini.sig", key.Sign(c.manifest));
    EXPECT_EQ(c.status, RunTool({"verify", "--public", keys.File("test.pub"), dir.path()})) << c.name;
  }
}

}  // namespace
}  // namespace quorvo
