#include "update/update_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "testing/http_fault_server.h"
#include "testing/python_http_server.h"
#include "testing/recording_boxes.h"
#include "testing/temp_dir.h"
#include "update/detached_start.h"
#include "update/tests/update_test_support.h"

namespace quorvo {
namespace {

using testing::Exists;
using testing::RecordingBoxes;
using testing::TempDir;

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(site.File("lexmuse"));
    site.Write("lexmuse/renova", "#!/bin/sh\necho new renova\n");
    server = std::make_unique<testing::PythonHttpServer>(site.path());
    ASSERT_TRUE(server->running());
  }

  // Runs the check in a fresh AppFolder; returns the programs it started.
  std::vector<std::string> Check(const TempDir& folder, MessageBoxes* boxes) {
    std::vector<std::string> started;
    UpdateCheckEnv env;
    env.appFolder = folder.path();
    env.trust = InsecureUpdateTrust();
    env.serverBase = server->Base();
    env.boxes = boxes;
    env.startProgram = [&](const std::string& program) {
      started.push_back(program);
      return true;
    };
    EXPECT_EQ(0, CheckForUpdate(env));
    return started;
  }

  TempDir site;
  std::unique_ptr<testing::PythonHttpServer> server;
};

TEST_F(UpdateCheckTest, OffersTheUpdateWhenTheVersionsDiffer) {
  struct Case {
    const char* config;  // nullptr: no config.ini (reads as version 1)
    const char* web;     // nullptr: nothing published (reads as version 1)
    bool offered;
  } cases[] = {
      {"[update]\nversion=3\n", "[update]\nversion=3\n", false},
      {"[update]\nversion=4\n", "[update]\nversion=3\n", true},  // lower on the server counts too
      {"[update]\nversion=1\n", "[update]\nversion=2\n", true},
      {nullptr, "[update]\nversion=1\n", false},
      {nullptr, "[update]\nversion=2\n", true},
      {"[update]\nversion=1\n", nullptr, false},
      {"[update]\nversion=2\n", nullptr, true},
  };
  for (const Case& c : cases) {
    std::string label = std::string(c.config ? c.config : "-") + " / " + (c.web ? c.web : "-");
    if (c.web)
      site.Write("lexmuse/webconfig.ini", c.web);
    else
      std::filesystem::remove(site.File("lexmuse/webconfig.ini"));
    TempDir folder;
    if (c.config) folder.Write("config.ini", c.config);
    RecordingBoxes boxes;
    std::vector<std::string> started = Check(folder, &boxes);
    if (c.offered) {
      ASSERT_EQ(1u, boxes.shown.size()) << label;
      EXPECT_EQ(BoxKind::Plain, boxes.shown[0].kind);
      EXPECT_EQ("软件有更新，点确定更新", boxes.shown[0].text);
      EXPECT_EQ(std::vector<std::string>{folder.File("renova")}, started) << label;
    } else {
      EXPECT_TRUE(boxes.shown.empty()) << label;
      EXPECT_TRUE(started.empty()) << label;
    }
    EXPECT_FALSE(Exists(folder.File("webconfig.ini"))) << label;  // deleted after every check
  }
}

TEST_F(UpdateCheckTest, FetchesAMissingUpdaterOnceAndMakesItExecutable) {
  site.Write("lexmuse/webconfig.ini", "[update]\nversion=1\n");
  TempDir folder;
  Check(folder, nullptr);
  EXPECT_EQ(site.Read("lexmuse/renova"), folder.Read("renova"));
  EXPECT_EQ(0755u, testing::ModeOf(folder.File("renova")));

  // Present already: never fetched again, even when the server has another.
  site.Write("lexmuse/renova", "#!/bin/sh\necho newer renova\n");
  Check(folder, nullptr);
  EXPECT_EQ("#!/bin/sh\necho new renova\n", folder.Read("renova"));
}

TEST_F(UpdateCheckTest, NobodyToAskStartsNothing) {
  site.Write("lexmuse/webconfig.ini", "[update]\nversion=7\n");
  TempDir folder;
  EXPECT_TRUE(Check(folder, nullptr).empty());
}

// A cut download of the updater must not pass for the program: it would
// never be fetched again.
TEST(UpdateCheckFaultTest, ACutUpdaterDownloadLeavesNoUpdater) {
  testing::HttpFaultServer server;
  server.Set("/lexmuse/renova", testing::HttpFaultServer::Cut(std::string(30000, 'r'), 1000));
  TempDir folder;
  UpdateCheckEnv env;
  env.appFolder = folder.path();
  env.trust = InsecureUpdateTrust();
  env.serverBase = server.Url("");
  CheckForUpdate(env);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(StartDetachedTest, StartsTheProgramAndReturns) {
  TempDir dir;
  dir.Write("program", "#!/bin/sh\necho started > \"$(dirname \"$0\")/marker\"\n");
  chmod(dir.File("program").c_str(), 0755);
  ASSERT_TRUE(StartDetached(dir.File("program")));
  for (int i = 0; i < 1000 && dir.Read("marker").empty(); ++i) usleep(10000);
  EXPECT_EQ("started\n", dir.Read("marker"));
  EXPECT_FALSE(StartDetached(dir.File("missing")));
}

}  // namespace
}  // namespace quorvo
