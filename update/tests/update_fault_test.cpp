// The update road against manifests and file servers in bad shape, a full
// disk, and version files holding garbage: no crash, no installed file
// replaced by anything but a complete new copy, config.ini never lost.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "base/code_page.h"
#include "testing/http_fault_server.h"
#include "testing/recording_boxes.h"
#include "testing/scoped_mount.h"
#include "testing/temp_dir.h"
#include "update/ini_file.h"
#include "update/tests/update_test_support.h"
#include "update/update_check.h"
#include "update/update_manifest.h"
#include "update/update_run.h"

namespace quorvo {
namespace {

using testing::Exists;
using testing::HttpFaultServer;
using testing::TempDir;
using namespace std::string_literals;

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

std::string ManifestOf(int count, const std::string& base) {
  std::string text = "[update]\nversion=2\nfile_count=" + std::to_string(count) + "\n";
  for (int i = 1; i <= count; ++i) text += "file_" + std::to_string(i) + "=" + base + std::to_string(i) + ".dat\n";
  return text;
}

class StatusView : public UpdateRunView {
 public:
  void ShowStatus(const std::string& gbkText) override { statuses.push_back(Utf8(gbkText)); }
  void ShowCurrentFile(const std::string&) override {}
  void SetProgress(int position) override { positions.push_back(position); }
  void EnableStart(bool) override {}
  void EnableExit(bool) override {}
  std::vector<std::string> statuses;
  std::vector<int> positions;
};

UpdateRunHooks NoWordApp() {
  UpdateRunHooks hooks;
  hooks.findWordApp = [] { return -1; };
  hooks.stopWordApp = [](int) { ADD_FAILURE() << "nothing to stop"; };
  return hooks;
}

TEST(ManifestFaults, ManifestsInBadShapeListWhatTheySayAndNothingElse) {
  std::string fifteenHundred = ManifestOf(1500, "http://h/f/");
  std::string everyOther = "[update]\nversion=2\nfile_count=4000\n";
  for (int i = 2; i <= 4000; i += 2)
    everyOther += "file_" + std::to_string(i) + "=http://h/" + std::to_string(i) + "\n";
  struct Case {
    const char* name;
    std::string web;
    int newVersion;
    size_t files;
    std::string first, last;  // URLs, when files > 0
  } cases[] = {
      // (A missing manifest is in update_manifest_test.cpp.)
      {"empty", "", 1, 0, "", ""},
      {"binary bytes", RandomBytes(64 * 1024, 1), 1, 0, "", ""},
      {"only the section line", "[update]", 1, 0, "", ""},
      {"1,500 entries", fifteenHundred, 2, 1500, "http://h/f/1.dat", "http://h/f/1500.dat"},
      {"every other of 4,000 missing", everyOther, 2, 2000, "http://h/2", "http://h/4000"},
      {"one byte over 64 KiB", "[update]\nversion=2\nfile_count=1\nfile_1=http://h/a\n;" + std::string(65536, 'x'), 1,
       0, "", ""},
      {"file_count of 2147483647 and one far key",
       "[update]\nversion=2\nfile_count=2147483647\nfile_2147483647=http://h/far\n", 2, 1, "http://h/far",
       "http://h/far"},
      {"a negative file_count", "[update]\nversion=2\nfile_count=-3\nfile_1=http://h/a\n", 2, 0, "", ""},
      {"a file_count beyond 32 bits", "[update]\nversion=2\nfile_count=99999999999\nfile_1=http://h/a\n", 2, 1,
       "http://h/a", "http://h/a"},
      {"a value of 600 bytes is cut to 511",
       "[update]\nversion=2\nfile_count=1\nfile_1=" + std::string(600, 'u') + "\n", 2, 1, std::string(511, 'u'),
       std::string(511, 'u')},
      {"an empty value", "[update]\nversion=2\nfile_count=2\nfile_1=\nfile_2=http://h/b\n", 2, 2, "", "http://h/b"},
      {"lines ended by CR LF", "[update]\r\nversion=2\r\nfile_count=1\r\nfile_1=http://h/a\r\n", 2, 1, "http://h/a",
       "http://h/a"},
      {"a version of binary bytes", "[update]\nversion=\xff\xfe\x01\nfile_count=1\nfile_1=http://h/a\n", 0, 1,
       "http://h/a", "http://h/a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.Write("config.ini", "[update]\nversion=1\n");
    dir.Write("webconfig.ini", c.web);
    UpdateManifest manifest = LoadManifest(dir.path(), InsecureUpdateTrust());
    EXPECT_EQ(c.newVersion, manifest.newVersion);
    ASSERT_EQ(c.files, manifest.files.size());
    if (c.files > 0) {
      EXPECT_EQ(c.first, manifest.files.front().url);
      EXPECT_EQ(c.last, manifest.files.back().url);
    }
    EXPECT_EQ("[update]\nversion=1\n", dir.Read("config.ini"));
  }
}

// A manifest of 2,000 entries (about as many as 64 KiB can list) runs to
// its end: the bar climbs to 100 and never back, the status counts to
// 2000/2000. (The copies are written by the download hook: what is under
// test is the run, not 2,000 transfers.)
TEST(ManifestFaults, TwoThousandEntriesRunToTheirEnd) {
  TempDir dir;
  dir.Write("config.ini", "[update]\nversion=1\n");
  UpdateManifest manifest;
  manifest.newVersion = 2;
  for (int i = 1; i <= 2000; ++i) manifest.files.push_back({"http://h/f/" + std::to_string(i) + ".dat", "", -1});
  UpdateRunHooks hooks = NoWordApp();
  int downloads = 0;
  hooks.download = [&](const std::string& url, const std::string& path) {
    ++downloads;
    std::ofstream(path) << url;
    return Status::Ok();
  };
  StatusView view;
  UpdateRunResult result = RunUpdate(dir.path(), manifest, view, hooks);
  EXPECT_EQ(2000, downloads);
  EXPECT_EQ(0, result.failures);
  EXPECT_TRUE(result.versionRecorded);
  ASSERT_EQ(2001u, view.positions.size());
  EXPECT_TRUE(std::is_sorted(view.positions.begin(), view.positions.end()));
  EXPECT_EQ(0, view.positions.front());  // 1 * 100 / 2000
  EXPECT_EQ(100, view.positions.back());
  EXPECT_EQ("当前升级状态： 2000/2000", view.statuses.back());
  EXPECT_EQ("http://h/f/1999.dat", dir.Read("1999.dat"));
}

// Names a server may publish, one run each. Only plain file names of the
// folder are written, under their real names; nothing outside the folder is
// ever touched, and a refused name fails the whole run.
TEST(ManifestFaults, HostileFileNamesWriteOnlyInsideTheFolder) {
  HttpFaultServer server;
  struct Case {
    std::string name;  // the URL's text after its last "/"
    EntryOutcome outcome;
    std::string requested = name;  // the path as the request carries it
  } cases[] = {
      {"..%2Foutside.txt", EntryOutcome::kUnsafeName},
      {"%2e%2e", EntryOutcome::kUnsafeName},
      {"a%00b", EntryOutcome::kUnsafeName},
      {"a%5C..%5Coutside.txt", EntryOutcome::kUnsafeName},
      {std::string(300, 'n'), EntryOutcome::kDownloadFailed},       // longer than any file name may be
      {Gbk("词库.txt"), EntryOutcome::kAdded, "%b4%ca%bf%e2.txt"},  // bytes above 0x7F go out encoded
      {"get?name=x", EntryOutcome::kAdded},
      {"-rf", EntryOutcome::kAdded},
      {".hidden", EntryOutcome::kAdded},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 40));
    TempDir parent;
    std::string app = parent.File("app");
    std::filesystem::create_directories(app);
    std::ofstream(app + "/config.ini") << "[update]\nversion=1\n";
    std::ofstream(parent.File("outside.txt")) << "outside";
    server.Set("/v2/" + c.requested, HttpFaultServer::Ok("served " + c.name));
    UpdateManifest manifest;
    manifest.newVersion = 2;
    manifest.files.push_back({server.Url("/v2/" + c.name), "", -1});
    StatusView view;
    UpdateRunResult result = RunUpdate(app, manifest, view, NoWordApp());
    ASSERT_EQ(1u, result.outcomes.size());
    EXPECT_EQ(c.outcome, result.outcomes[0]);
    bool added = c.outcome == EntryOutcome::kAdded;
    if (added) {
      std::ifstream in(app + "/" + c.name);
      EXPECT_EQ("served " + c.name, std::string(std::istreambuf_iterator<char>(in), {}));
    }
    EXPECT_EQ("outside", parent.Read("outside.txt"));
    size_t inParent = std::distance(std::filesystem::directory_iterator(parent.path()), {});
    EXPECT_EQ(2u, inParent);  // app and outside.txt
    size_t inApp = std::distance(std::filesystem::directory_iterator(app), {});
    EXPECT_EQ(added ? 2u : 1u, inApp);  // config.ini, and the new file; no staging left
    EXPECT_EQ(added, result.versionRecorded);
    EXPECT_EQ(added ? 2 : 1, ReadIniInt(app + "/config.ini", "update", "version", 0));
  }
}

// A file server in trouble during a run: each fault leaves the installed
// file as it was, no partial copy behind, and the version unrecorded.
TEST(FileServerFaults, EachFaultLeavesTheInstalledFileAndTheVersion) {
  HttpFaultServer server;
  const std::string body = RandomBytes(300000, 7);
  struct Case {
    const char* name;
    HttpFaultServer::Reply reply;
    long long publishedSize;  // size_1 of the manifest; -1: none
    EntryOutcome outcome;
  } cases[] = {
      {"404", HttpFaultServer::Answer(404, "not here"), -1, EntryOutcome::kDownloadFailed},
      {"500", HttpFaultServer::Answer(500, "broken"), -1, EntryOutcome::kDownloadFailed},
      {"cuts the body short", HttpFaultServer::Cut(body, 120000), -1, EntryOutcome::kDownloadFailed},
      {"stalls in the middle", HttpFaultServer::Stall(body, 50000), -1, EntryOutcome::kDownloadFailed},
      {"never answers", HttpFaultServer::NoAnswer(), -1, EntryOutcome::kDownloadFailed},
      {"announces one byte more than it sends", HttpFaultServer::Cut(body, body.size() - 1), -1,
       EntryOutcome::kDownloadFailed},
      {"announces less than the file and the manifest knows its size", HttpFaultServer::Announcing(body, 1000),
       static_cast<long long>(body.size()), EntryOutcome::kRefused},
      // Signed as 19 bytes, sent without end: given up at the 20th byte.
      {"an endless body for a file of 19 bytes", HttpFaultServer::Endless(), 19, EntryOutcome::kRefused},
  };
  DownloadOptions quick;
  quick.stallSeconds = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir app;
    app.Write("config.ini", "[update]\nversion=1\n");
    app.Write("words.txt", "old words");
    std::string path = "/case" + std::to_string(&c - cases) + "/words.txt";
    server.Set(path, c.reply);
    UpdateRunHooks hooks = NoWordApp();
    hooks.downloadOptions = quick;
    ManifestEntry entry{server.Url(path), "", c.publishedSize};
    StatusView view;
    UpdateRunResult result = RunUpdate(app.path(), testing::Offer(2, {entry}), view, hooks);
    ASSERT_EQ(1u, result.outcomes.size());
    EXPECT_EQ(c.outcome, result.outcomes[0]);
    EXPECT_EQ("old words", app.Read("words.txt"));
    EXPECT_FALSE(Exists(app.File(".renova-staging")));
    EXPECT_FALSE(result.versionRecorded);
    EXPECT_EQ("[update]\nversion=1\n", app.Read("config.ini"));
    EXPECT_EQ("升级未完成：1 个文件未能更新，下次启动将再次提示更新", view.statuses.back());
    EXPECT_EQ(std::vector<int>{0}, view.positions);
    EXPECT_LT(server.BodyBytesSent(path), 64LL << 20);  // what the socket buffers hold, no more
  }
}

// The disk fills up: a download that does not fit, and then config.ini that
// cannot be written. The installed files and the old config.ini stay whole.
TEST(DiskFullFaults, ADownloadOrAVersionThatDoesNotFitChangesNothing) {
  TempDir outer;
  std::string app = outer.File("app");
  std::filesystem::create_directories(app);
  testing::ScopedMount disk = testing::ScopedMount::Tmpfs(app, 1 << 20);
  if (!disk.mounted()) GTEST_SKIP() << disk.why();

  const std::string oldConfig = "[update]\nversion=1\n";
  auto write = [&](const std::string& name, const std::string& content) {
    std::ofstream(app + "/" + name, std::ios::binary) << content;
  };
  auto read = [&](const std::string& name) {
    std::ifstream in(app + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  write("config.ini", oldConfig);
  const std::string oldWords = RandomBytes(200000, 9);
  write("words.txt", oldWords);

  HttpFaultServer server;
  server.Set("/v2/words.txt", HttpFaultServer::Ok(RandomBytes(2 << 20, 10)));  // twice the disk
  StatusView view;
  UpdateRunResult result =
      RunUpdate(app, testing::Offer(2, {{server.Url("/v2/words.txt"), "", -1}}), view, NoWordApp());
  EXPECT_EQ(std::vector<EntryOutcome>{EntryOutcome::kDownloadFailed}, result.outcomes);
  EXPECT_EQ(oldWords, read("words.txt"));
  EXPECT_FALSE(Exists(app + "/.renova-staging"));
  EXPECT_EQ(oldConfig, read("config.ini"));

  // Every file arrives (an empty one takes no room) but the disk is full to
  // the last byte when the install step starts: its journal does not fit,
  // so nothing is put in place and no version recorded.
  {
    std::ofstream filler(app + "/filler", std::ios::binary);
    std::string block(4096, 'f');
    while (filler.write(block.data(), block.size())) {
    }
  }
  {
    std::ofstream filler(app + "/filler", std::ios::binary | std::ios::app);
    while (filler.put('f')) {
    }
  }
  server.Set("/v2/empty.dat", HttpFaultServer::Ok(""));
  StatusView full;
  result = RunUpdate(app, testing::Offer(2, {{server.Url("/v2/empty.dat"), "", -1}}), full, NoWordApp());
  EXPECT_EQ(std::vector<EntryOutcome>{EntryOutcome::kNotInstalled}, result.outcomes);
  EXPECT_EQ(StatusCode::kDiskFull, result.status.code());
  EXPECT_FALSE(result.versionRecorded);
  EXPECT_EQ(oldConfig, read("config.ini"));
  EXPECT_EQ("升级未完成：无法写入程序所在的文件夹，下次启动将再次提示更新", full.statuses.back());
  EXPECT_EQ(0, full.positions.back());
  EXPECT_FALSE(Exists(app + "/empty.dat"));
  EXPECT_FALSE(Exists(app + "/.renova-staging"));
  EXPECT_EQ(oldWords, read("words.txt"));
  for (const auto& entry : std::filesystem::directory_iterator(app))
    EXPECT_EQ(std::string::npos, entry.path().filename().string().find("config.ini.")) << entry.path();
}

// quorvo's check at start-up with version files holding garbage, and with
// no update server at all: it never crashes, deletes its manifest copy, and
// offers an update only where the two versions it reads differ.
TEST(StartUpFaults, GarbageVersionFilesAndNoServer) {
  HttpFaultServer server;
  int closedPort = 0;
  {
    HttpFaultServer gone;
    closedPort = gone.port();
  }
  const std::string binary = RandomBytes(4096, 11);
  struct Case {
    const char* name;
    std::optional<std::string> config;  // nullopt: no config.ini
    std::optional<std::string> served;  // nullopt: no update server at all
    bool offered;
  } cases[] = {
      {"no server, version 1 installed", "[update]\nversion=1\n", std::nullopt, false},
      {"no server, no config.ini", std::nullopt, std::nullopt, false},
      {"garbage config.ini reads as version 1", "garbage, not an ini file\n\x01\x02", "[update]\nversion=1\n", false},
      {"binary config.ini reads as version 1", binary, "[update]\nversion=1\n", false},
      {"binary manifest reads as version 1", "[update]\nversion=1\n", binary, false},
      {"binary manifest against version 3", "[update]\nversion=3\n", binary, true},
      {"empty manifest", "[update]\nversion=1\n", "", false},
      {"both binary", binary, RandomBytes(5000, 12), false},
      {"a manifest with NUL bytes and a real version", "[update]\nversion=1\n", "\0\0"s + "[update]\nversion=2\n",
       false},
      {"garbage version in config.ini reads as 0", "[update]\nversion=zz\n", "[update]\nversion=1\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    folder.Write("renova", "#!/bin/sh\n");  // present: only the manifest is fetched
    if (c.config) folder.Write("config.ini", *c.config);
    if (c.served) server.Set("/lexmuse/webconfig.ini", HttpFaultServer::Ok(*c.served));
    testing::RecordingBoxes boxes;
    std::vector<std::string> started;
    UpdateCheckEnv env;
    env.appFolder = folder.path();
    env.trust = InsecureUpdateTrust();
    env.serverBase = c.served ? server.Url("") : "http://127.0.0.1:" + std::to_string(closedPort);
    env.boxes = &boxes;
    env.startProgram = [&](const std::string& program) {
      started.push_back(program);
      return true;
    };
    EXPECT_EQ(0, CheckForUpdate(env));
    EXPECT_EQ(c.offered ? 1u : 0u, boxes.shown.size());
    EXPECT_EQ(c.offered ? 1u : 0u, started.size());
    EXPECT_FALSE(Exists(folder.File("webconfig.ini")));
    if (c.config) {
      EXPECT_EQ(*c.config, folder.Read("config.ini"));
    } else {
      EXPECT_FALSE(Exists(folder.File("config.ini")));
    }
  }
}

}  // namespace
}  // namespace quorvo
