// renova's run of a signed release ended by SIGKILL at random points (a
// fixed seed), 20 times:
// each time every installed file is the complete old or the complete new
// copy, config.ini holds the old or the new version and is never empty, and
// a second run completes the update. The run is update_run_driver: the same
// engine renova's Start button runs, against a real HTTP server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "testing/python_http_server.h"
#include "testing/temp_dir.h"
#include "update/ini_file.h"
#include "update/install_journal.h"
#include "update/renova_road.h"
#include "update/tests/update_test_support.h"

extern char** environ;

namespace quorvo {
namespace {

using testing::TempDir;

std::string Pattern(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// The driver started on a folder; its standard output is read line by line.
class Driver {
 public:
  Driver(const std::string& folder, const std::string& serverBase, const std::string& trust,
         const std::string& hangAfterRenames = "") {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const char* program = UPDATE_RUN_DRIVER;
    char* argv[] = {const_cast<char*>(program),
                    const_cast<char*>(folder.c_str()),
                    const_cast<char*>(serverBase.c_str()),
                    const_cast<char*>(trust.c_str()),
                    hangAfterRenames.empty() ? nullptr : const_cast<char*>(hangAfterRenames.c_str()),
                    nullptr};
    if (posix_spawn(&pid_, program, &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
  }
  ~Driver() {
    Kill();
    if (out_ >= 0) close(out_);
  }
  bool started() const { return pid_ > 0; }
  // The next line, without its line end; false at the end of the output.
  bool ReadLine(std::string* line) {
    line->clear();
    char c;
    for (;;) {
      ssize_t n = read(out_, &c, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      if (c == '\n') return true;
      *line += c;
    }
  }
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  // Reads the rest of the output and returns the exit status (-1: a signal).
  int Finish(std::vector<std::string>* lines = nullptr) {
    std::string line;
    while (ReadLine(&line))
      if (lines) lines->push_back(line);
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

class KilledRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Large enough that downloads and renames take a while to hit.
    newFiles = {{"quorvo", Pattern(3 << 20, 1)}, {"words.txt", Pattern(2 << 20, 2)}, {"big.dat", Pattern(4 << 20, 3)}};
    oldFiles = {{"quorvo", Pattern(1 << 20, 4)}, {"words.txt", Pattern(100000, 5)}, {"big.dat", Pattern(5 << 20, 6)}};
    std::filesystem::create_directories(site.File("lexmuse/v2"));
    site.Write("lexmuse/v2/lexmuse", newFiles["quorvo"]);
    site.Write("lexmuse/v2/words.txt", newFiles["words.txt"]);
    site.Write("lexmuse/v2/big.dat", newFiles["big.dat"]);
    site.Write("lexmuse/v2/extra.dat", "new in version 2");
    server = std::make_unique<testing::PythonHttpServer>(site.path());
    ASSERT_TRUE(server->running());
    const std::string base = server->Base() + "/lexmuse/v2/";
    std::string manifest = testing::SignedManifestText(2,
                                                       {{base + "lexmuse", newFiles["quorvo"]},
                                                        {base + "words.txt", newFiles["words.txt"]},
                                                        {base + "big.dat", newFiles["big.dat"]},
                                                        {base + "extra.dat", "new in version 2"}},
                                                       "any renova");
    site.Write("lexmuse/webconfig.ini", manifest);
    site.Write("lexmuse/webconfig.ini.sig", key.Sign(manifest));
    trust = key.PublicBase64();
  }

  // Version 1 as installed.
  void Install(const TempDir& app) {
    app.Write("config.ini", kOldConfig);
    for (const auto& [name, content] : oldFiles) app.Write(name, content);
    chmod(app.File("quorvo").c_str(), 0755);
  }

  // Every installed file old or new, config.ini old or new; says which.
  void ExpectOldOrNew(const TempDir& app, int* newCount) {
    for (const auto& [name, content] : oldFiles) {
      std::string now = app.Read(name);
      bool isNew = now == newFiles[name];
      EXPECT_TRUE(isNew || now == content) << name << " is neither copy (" << now.size() << " bytes)";
      *newCount += isNew;
    }
    std::string config = app.Read("config.ini");
    EXPECT_FALSE(config.empty());
    int version = ReadIniInt(app.File("config.ini"), "update", "version", 0);
    EXPECT_TRUE(config == kOldConfig || (version == 2 && config == newConfig)) << config;
    EXPECT_EQ(0755u, testing::ModeOf(app.File("quorvo")));
  }

  void ExpectAllNew(const TempDir& app) {
    for (const auto& [name, content] : newFiles) EXPECT_TRUE(app.Read(name) == content) << name;
    EXPECT_EQ("new in version 2", app.Read("extra.dat"));
    EXPECT_FALSE(testing::Exists(app.File(".renova-staging")));
    EXPECT_EQ(2, ReadIniInt(app.File("config.ini"), "update", "version", 0));
    EXPECT_FALSE(testing::Exists(app.File("webconfig.ini")));
  }

  static constexpr char kOldConfig[] = "; installed with the programs\n[update]\nversion=1\n";
  std::map<std::string, std::string> newFiles, oldFiles;
  std::string newConfig;
  testing::TestReleaseKey key;
  std::string trust;
  TempDir site;
  std::unique_ptr<testing::PythonHttpServer> server;
};

TEST_F(KilledRunTest, EveryKillLeavesOldOrNewFilesAndARerunCompletes) {
  // A run that is left alone: its lines and how long it takes.
  std::vector<std::string> lines;
  std::chrono::steady_clock::duration whole;
  {
    TempDir app;
    Install(app);
    auto begin = std::chrono::steady_clock::now();
    Driver driver(app.path(), server->Base(), trust);
    ASSERT_TRUE(driver.started());
    ASSERT_EQ(0, driver.Finish(&lines));
    whole = std::chrono::steady_clock::now() - begin;
    ExpectAllNew(app);
    newConfig = app.Read("config.ini");
  }
  ASSERT_GE(lines.size(), 10u);
  ASSERT_EQ(0u, lines.back().rfind("done", 0));
  // A kill comes after line k (0: right after the start) and a random pause
  // of up to two lines' worth of time, always before the run's last line, so
  // every kill interrupts a run.
  const auto perLine = whole / static_cast<long>(lines.size());

  std::mt19937 random(20240607);
  std::map<std::string, int> killedAfter;
  int killsWithSomeFilesNew = 0;
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TempDir app;
    Install(app);
    size_t k = random() % (lines.size() - 1);
    auto pause = std::chrono::duration_cast<std::chrono::microseconds>(perLine * 2) * (random() % 1000) / 1000;
    {
      Driver driver(app.path(), server->Base(), trust);
      ASSERT_TRUE(driver.started());
      std::string line, last = "start";
      for (size_t i = 0; i < k && driver.ReadLine(&line); ++i) last = line;
      ASSERT_NE(0u, last.rfind("done", 0));
      timespec sleep{0, static_cast<long>(pause.count()) * 1000};
      nanosleep(&sleep, nullptr);
      driver.Kill();
      ++killedAfter[last.substr(0, last.find(' '))];
    }
    int newCount = 0;
    ExpectOldOrNew(app, &newCount);
    killsWithSomeFilesNew += newCount > 0 && newCount < 3;

    Driver rerun(app.path(), server->Base(), trust);
    int status = rerun.Finish();
    // 3: the killed run had recorded the version already (all files new).
    EXPECT_TRUE(status == 0 || status == 3) << status;
    ExpectAllNew(app);
  }
  std::string where;
  for (const auto& [step, count] : killedAfter) where += " " + step + ":" + std::to_string(count);
  std::printf("kills after the lines:%s; %d kills left a mix of old and new files\n", where.c_str(),
              killsWithSomeFilesNew);
}

// A run killed inside its install step, after each of its renames in turn
// (three files replaced, one added: seven renames). While it hangs there,
// holding the folder, a second renova changes nothing and says it is busy.
// The journal it leaves lets the next start undo the step, old files byte
// for byte, and the next run then completes the update.
TEST_F(KilledRunTest, AKillInsideTheRenameStepIsUndoneAndTheNextRunCompletes) {
  for (int renames = 1; renames <= 7; ++renames) {
    SCOPED_TRACE("killed after rename " + std::to_string(renames));
    TempDir app;
    Install(app);
    {
      Driver driver(app.path(), server->Base(), trust, std::to_string(renames));
      ASSERT_TRUE(driver.started());
      std::string line, last;
      while (driver.ReadLine(&line) && line.rfind("renamed", 0) != 0) last = line;
      ASSERT_EQ("renamed " + std::to_string(renames), line) << "after " << last;

      RenovaRoadEnv env;
      env.serverBase = server->Base();
      env.trust = key.Trust();
      EXPECT_EQ(ManifestRefusal::kBusy, OpenRenovaRoad(app.path(), env).manifest.refusal);
      SilentUpdateRunView view;
      EXPECT_EQ(StatusCode::kBusy, RunRenovaRoad(app.path(), testing::Offer(2, {}), view, env).status.code());
      driver.Kill();
    }
    EXPECT_TRUE(testing::Exists(app.File(".renova-staging/journal")));

    Result<Recovery> recovery = RecoverInterruptedRun(app.path());
    ASSERT_TRUE(recovery.ok()) << recovery.status().message();
    EXPECT_EQ(Recovery::kUndone, *recovery);
    for (const auto& [name, content] : oldFiles) EXPECT_TRUE(app.Read(name) == content) << name;
    EXPECT_FALSE(testing::Exists(app.File("extra.dat")));
    EXPECT_EQ(kOldConfig, app.Read("config.ini"));
    EXPECT_FALSE(testing::Exists(app.File(".renova-staging")));

    Driver rerun(app.path(), server->Base(), trust);
    EXPECT_EQ(0, rerun.Finish());
    ExpectAllNew(app);
    EXPECT_FALSE(testing::Exists(app.File(".renova.lock")));
  }
}

}  // namespace
}  // namespace quorvo
