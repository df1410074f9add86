#include "update/update_run.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/code_page.h"
#include "testing/python_http_server.h"
#include "testing/temp_dir.h"
#include "update/ini_file.h"
#include "update/tests/update_test_support.h"

namespace quorvo {
namespace {

using testing::Exists;
using testing::TempDir;

class RecordingView : public UpdateRunView {
 public:
  void ShowStatus(const std::string& gbkText) override { events.push_back("status " + Utf8(gbkText)); }
  void ShowCurrentFile(const std::string& path) override { events.push_back("file " + path); }
  void SetProgress(int position) override {
    events.push_back("pos " + std::to_string(position));
    positions.push_back(position);
  }
  void EnableStart(bool enabled) override { events.push_back(std::string("start ") + (enabled ? "on" : "off")); }
  void EnableExit(bool enabled) override { events.push_back(std::string("exit ") + (enabled ? "on" : "off")); }
  std::vector<std::string> events;
  std::vector<int> positions;
};

std::string Sha256Hex(const std::string& data) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest);
  std::string hex;
  for (unsigned char b : digest) {
    static const char kHex[] = "0123456789abcdef";
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  return hex;
}

// An installed folder at version 1 and a server publishing version 2.
class UpdateRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(site.File("v2"));
    site.Write("v2/lexmuse", "new quorvo");
    site.Write("v2/words.txt", "new words");
    site.Write("v2/extra.dat", "new extra");
    server = std::make_unique<testing::PythonHttpServer>(site.path());
    ASSERT_TRUE(server->running());

    app.Write("config.ini", "[update]\nversion=1\n");
    app.Write("quorvo", "old quorvo");
    chmod(app.File("quorvo").c_str(), 0755);
    app.Write("words.txt", "old words");
    chmod(app.File("words.txt").c_str(), 0640);
    app.Write("webconfig.ini", "[update]\nversion=2\n");
  }

  ManifestEntry Entry(const std::string& name) { return {server->Base() + "/v2/" + name, "", -1}; }

  UpdateRunResult Run(const UpdateManifest& manifest, RecordingView& view, UpdateRunHooks hooks = {}) {
    if (!hooks.findWordApp) hooks.findWordApp = [] { return -1; };
    if (!hooks.stopWordApp) hooks.stopWordApp = [](int) { ADD_FAILURE() << "nothing to stop"; };
    return RunUpdate(app.path(), manifest, view, hooks);
  }

  TempDir site;
  TempDir app;
  std::unique_ptr<testing::PythonHttpServer> server;
};

TEST_F(UpdateRunTest, ReplacesEveryFileAndRecordsTheVersion) {
  UpdateManifest manifest = testing::Offer(2, {Entry("lexmuse"), Entry("words.txt"), Entry("extra.dat")});
  RecordingView view;
  UpdateRunResult result = Run(manifest, view);

  const std::string folder = app.path();
  std::vector<std::string> expected = {
      "exit off",
      "status 当前升级状态： 1/3",
      "file " + folder + "/quorvo",
      "pos 33",
      "status 当前升级状态： 2/3",
      "file " + folder + "/words.txt",
      "pos 66",
      "status 当前升级状态： 3/3",
      "file " + folder + "/extra.dat",
      "pos 100",
      "pos 100",
      "exit on",
      "start off",
  };
  EXPECT_EQ(expected, view.events);
  EXPECT_EQ(0, result.failures);
  EXPECT_TRUE(result.versionRecorded);

  // lexmuse is installed as quorvo, keeping quorvo's permission bits.
  EXPECT_EQ("new quorvo", app.Read("quorvo"));
  EXPECT_EQ(0755u, testing::ModeOf(app.File("quorvo")));
  EXPECT_FALSE(Exists(app.File("quorvo.bak")));
  EXPECT_FALSE(Exists(app.File("lexmuse")));
  EXPECT_EQ("new words", app.Read("words.txt"));
  EXPECT_EQ(0640u, testing::ModeOf(app.File("words.txt")));
  // Not installed before: the new copy gets its real name and 0644.
  EXPECT_EQ("new extra", app.Read("extra.dat"));
  EXPECT_EQ(0644u, testing::ModeOf(app.File("extra.dat")));
  EXPECT_FALSE(Exists(app.File(".renova-staging")));
  EXPECT_EQ((std::vector<EntryOutcome>{EntryOutcome::kInstalled, EntryOutcome::kInstalled, EntryOutcome::kAdded}),
            result.outcomes);

  EXPECT_FALSE(Exists(app.File("webconfig.ini")));
  EXPECT_EQ(2, ReadIniInt(app.File("config.ini"), "update", "version", 0));
}

TEST_F(UpdateRunTest, EndsARunningWordAppFirst) {
  UpdateManifest manifest = testing::Offer(2, {Entry("words.txt")});
  RecordingView view;
  std::vector<std::string> calls;
  UpdateRunHooks hooks;
  hooks.findWordApp = [&] {
    calls.emplace_back("find");
    return 4242;
  };
  hooks.stopWordApp = [&](int pid) { calls.push_back("stop " + std::to_string(pid)); };
  hooks.download = [&](const std::string& url, const std::string& path) {
    calls.emplace_back("download");
    return DownloadFile(url, path);
  };
  Run(manifest, view, hooks);
  EXPECT_EQ((std::vector<std::string>{"find", "stop 4242", "download"}), calls);
}

// All or nothing: one file that does not arrive leaves every installed file
// as it was, even those that arrived before it.
TEST_F(UpdateRunTest, AFailedFileKeepsTheOldVersionAndTheInstalledFiles) {
  UpdateManifest manifest = testing::Offer(2, {Entry("words.txt"), Entry("missing-on-server"), Entry("lexmuse")});
  app.Write("missing-on-server", "installed");
  RecordingView view;
  UpdateRunResult result = Run(manifest, view);

  EXPECT_EQ((std::vector<EntryOutcome>{EntryOutcome::kNotInstalled, EntryOutcome::kDownloadFailed,
                                       EntryOutcome::kNotAttempted}),
            result.outcomes);
  // The bar stops at the failed file, and a run that installs nothing ends at 0.
  EXPECT_EQ((std::vector<int>{33, 0}), view.positions);
  EXPECT_EQ("installed", app.Read("missing-on-server"));
  EXPECT_EQ("old words", app.Read("words.txt"));
  EXPECT_EQ("old quorvo", app.Read("quorvo"));
  EXPECT_FALSE(Exists(app.File(".renova-staging")));
  EXPECT_FALSE(result.versionRecorded);
  EXPECT_EQ(1, ReadIniInt(app.File("config.ini"), "update", "version", 0));
  EXPECT_EQ("status 升级未完成：1 个文件未能更新，下次启动将再次提示更新", view.events.back());
  EXPECT_FALSE(Exists(app.File("webconfig.ini")));
}

TEST_F(UpdateRunTest, ACopyThatDisagreesWithTheManifestIsNeverInstalled) {
  const std::string words = "new words";
  struct Case {
    const char* name;
    std::string sha256;
    long long size;
    EntryOutcome outcome;
  } cases[] = {
      {"digest and size agree", Sha256Hex(words), static_cast<long long>(words.size()), EntryOutcome::kInstalled},
      {"digest agrees", Sha256Hex(words), -1, EntryOutcome::kInstalled},
      {"size agrees", "", static_cast<long long>(words.size()), EntryOutcome::kInstalled},
      {"digest differs", Sha256Hex("other"), -1, EntryOutcome::kRefused},
      {"size differs", "", 3, EntryOutcome::kRefused},
      {"digest agrees, size differs", Sha256Hex(words), 4, EntryOutcome::kRefused},
  };
  for (const Case& c : cases) {
    app.Write("words.txt", "old words");
    app.Write("config.ini", "[update]\nversion=1\n");
    ManifestEntry entry = Entry("words.txt");
    entry.sha256 = c.sha256;
    entry.size = c.size;
    RecordingView view;
    UpdateRunResult result = Run(testing::Offer(2, {entry}), view);
    ASSERT_EQ(1u, result.outcomes.size());
    EXPECT_EQ(c.outcome, result.outcomes[0]) << c.name;
    bool installed = c.outcome == EntryOutcome::kInstalled;
    EXPECT_EQ(installed ? "new words" : "old words", app.Read("words.txt")) << c.name;
    EXPECT_FALSE(Exists(app.File(".renova-staging"))) << c.name;
    EXPECT_EQ(installed ? 2 : 1, ReadIniInt(app.File("config.ini"), "update", "version", 0)) << c.name;
  }
}

TEST_F(UpdateRunTest, NamesOutsideTheFolderAreSkipped) {
  TempDir outside;
  std::string base = server->Base();
  const char* urls[] = {"/", "/.", "/..", "/%2e%2e", "/..%2fx", "/a%2Fb", "/a%5Cb", "/a%00b"};
  UpdateManifest manifest = testing::Offer(2, {});
  for (const char* url : urls) manifest.files.push_back({base + "/v2" + url, "", -1});
  manifest.files.push_back({"no-slash-at-all", "", -1});
  RecordingView view;
  int downloads = 0;
  UpdateRunHooks hooks;
  hooks.download = [&](const std::string&, const std::string&) {
    ++downloads;
    return Status(StatusCode::kIoError, "no download");
  };
  UpdateRunResult result = Run(manifest, view, hooks);

  EXPECT_EQ(0, downloads);
  // The first refused name ends the run; the rest are not tried.
  ASSERT_EQ(9u, result.outcomes.size());
  EXPECT_EQ(EntryOutcome::kUnsafeName, result.outcomes[0]);
  for (size_t i = 1; i < result.outcomes.size(); ++i) EXPECT_EQ(EntryOutcome::kNotAttempted, result.outcomes[i]);
  EXPECT_FALSE(result.versionRecorded);
  EXPECT_EQ(std::vector<int>{0}, view.positions);
  // The folder holds exactly what it held before (webconfig.ini deleted).
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(app.path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"config.ini", "quorvo", "words.txt"}), names);
}

TEST(UpdateRunNamesTest, LocalNamesOfUrls) {
  struct Case {
    const char* url;
    const char* installedName;
    bool plain;
  } cases[] = {
      {"http://h/lexmuse/lexmuse", "/quorvo", true},
      {"http://h/lexmuse/renova", "/renova", true},
      {"http://h/files/lexmuse.ini", "/lexmuse.ini", true},  // only the program itself is renamed
      {"http://h/files/Lexmuse", "/Lexmuse", true},          // exact text, letter case included
      {"http://h/a/b/words%20list.txt", "/words%20list.txt", true},
      {"http://h/files/", "/", false},
      {"http://h/files/..", "/..", false},
      {"http://h/files/%2E%2E", "/%2E%2E", false},
      {"http://h/get?f=a%2fb", "/get?f=a%2fb", false},
      {"nothing", "", false},
  };
  for (const Case& c : cases) {
    std::string name = InstalledName(LocalNameOfUrl(c.url));
    EXPECT_EQ(c.installedName, name) << c.url;
    EXPECT_EQ(c.plain, IsPlainFileName(name)) << c.url;
  }
}

}  // namespace
}  // namespace quorvo
