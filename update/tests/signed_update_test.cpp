// The signed update road against a server in the hands of an attacker or in
// trouble: whatever it serves without the release key's signature, or
// beyond what the signed manifest says, no installed file changes and no
// version is recorded. One release made by renova-release installs whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "testing/http_fault_server.h"
#include "testing/python_http_server.h"
#include "testing/recording_boxes.h"
#include "testing/temp_dir.h"
#include "update/ini_file.h"
#include "update/renova_road.h"
#include "update/tests/update_test_support.h"
#include "update/update_check.h"

namespace quorvo {
namespace {

using testing::Exists;
using testing::HttpFaultServer;
using testing::Snapshot;
using testing::TempDir;

// Quick limits, so a server that drips or stalls fails within seconds.
DownloadOptions Quick() {
  DownloadOptions options;
  options.stallSeconds = 2;
  options.lowSpeedBytesPerSecond = 1024;
  options.lowSpeedSeconds = 1;
  options.connectTimeoutMs = 500;
  return options;
}

// renova's road without its window: open, and run when offered.
struct RoadResult {
  UpdateManifest manifest;
  UpdateRunResult run;
};
RoadResult RunRoad(const std::string& folder, const std::string& serverBase, const UpdateTrust& trust) {
  RenovaRoadEnv env;
  env.serverBase = serverBase;
  env.trust = trust;
  env.manifestDownload = env.fileDownload = Quick();
  env.hooks.findWordApp = [] { return -1; };
  env.hooks.stopWordApp = [](int) {};
  RoadResult result;
  result.manifest = OpenRenovaRoad(folder, env).manifest;
  if (result.manifest.files.empty()) return result;
  SilentUpdateRunView view;
  result.run = RunRenovaRoad(folder, result.manifest, view, env);
  return result;
}

class SignedRoadTest : public ::testing::Test {
 protected:
  void InstallVersion1(const TempDir& app, int version = 1) {
    app.Write("config.ini", "; installed\n[update]\nversion=" + std::to_string(version) + "\n");
    app.Write("quorvo", "old quorvo");
    chmod(app.File("quorvo").c_str(), 0755);
    app.Write("words.txt", "old words");
    app.Write("dict_main.db", "the user's own word bank");
  }
  std::string Url(const std::string& name) { return server.Url("/lexmuse/v2/" + name); }
  // quorvo's check of app against this server and key, its boxes answered
  // by boxes and the programs it starts listed in started.
  UpdateCheckEnv CheckEnv(const TempDir& app, testing::RecordingBoxes& boxes, std::vector<std::string>& started) {
    UpdateCheckEnv env;
    env.appFolder = app.path();
    env.serverBase = server.Url("");
    env.boxes = &boxes;
    env.trust = key.Trust();
    env.download = Quick();
    env.startProgram = [&started](const std::string& program) { return started.push_back(program), true; };
    return env;
  }

  testing::TestReleaseKey key;
  HttpFaultServer server;
};

TEST_F(SignedRoadTest, NothingTheKeyDidNotSignIsEverInstalled) {
  testing::TestReleaseKey otherKey;
  const std::string good =
      testing::SignedManifestText(2, {{Url("words.txt"), "new words"}, {Url("lexmuse"), "new quorvo"}}, "renova");
  std::string flipped = good;
  flipped[flipped.find("version=2") + 8] = '3';
  std::string big = good + ";" + std::string(1 << 20, 'x') + "\n";
  std::string hostileCount = "[update]\nversion=2\nfile_count=2147483647\nfile_2147483647=" + Url("far") +
                             "\nsha256_2147483647=" + std::string(64, 'a') +
                             "\nsize_2147483647=1\nrenova_sha256=" + std::string(64, 'b') +
                             "\nrenova_size=1\nexpires=" + testing::kFarExpiry + "\n";
  std::string noDigest = "[update]\nversion=2\nfile_count=1\nfile_1=" + Url("words.txt") +
                         "\nrenova_sha256=" + std::string(64, 'b') + "\nrenova_size=1\nexpires=" + testing::kFarExpiry +
                         "\n";
  std::string protectedNames = testing::SignedManifestText(
      2, {{Url("dict_main.db"), "a bank from the server"}, {Url("config.ini"), "[update]\nversion=9\n"}}, "renova");
  const std::string otherHost = "http://localhost:" + std::to_string(server.port()) + "/elsewhere/words.txt";
  server.Set("/elsewhere/words.txt", HttpFaultServer::Ok("new wordz"));
  server.Set("/lexmuse/v2/dict_main.db", HttpFaultServer::Ok("a bank from the server"));
  server.Set("/lexmuse/v2/config.ini", HttpFaultServer::Ok("[update]\nversion=9\n"));

  struct Case {
    const char* name;
    std::optional<HttpFaultServer::Reply> manifest;
    std::optional<std::string> signature;  // nullopt: none published
    HttpFaultServer::Reply words = HttpFaultServer::Ok("new words");
    int installedVersion = 1;
    ManifestRefusal refusal = ManifestRefusal::kNone;
  } cases[] = {
      {"no signature", HttpFaultServer::Ok(good), std::nullopt, HttpFaultServer::Ok("new words"), 1,
       ManifestRefusal::kBadSignature},
      {"another key's signature", HttpFaultServer::Ok(good), otherKey.Sign(good), HttpFaultServer::Ok("new words"), 1,
       ManifestRefusal::kBadSignature},
      {"a signature that is not base64", HttpFaultServer::Ok(good), "not a signature!",
       HttpFaultServer::Ok("new words"), 1, ManifestRefusal::kBadSignature},
      {"one flipped byte in the manifest", HttpFaultServer::Ok(flipped), key.Sign(good),
       HttpFaultServer::Ok("new words"), 1, ManifestRefusal::kBadSignature},
      {"a file whose digest differs", HttpFaultServer::Ok(good), key.Sign(good), HttpFaultServer::Ok("new wordz")},
      {"a file whose size differs", HttpFaultServer::Ok(good), key.Sign(good), HttpFaultServer::Ok("new words!")},
      {"a replayed older signed manifest", HttpFaultServer::Ok(good), key.Sign(good), HttpFaultServer::Ok("new words"),
       3},
      {"the same version again", HttpFaultServer::Ok(good), key.Sign(good), HttpFaultServer::Ok("new words"), 2},
      {"a 1 MiB manifest", HttpFaultServer::Ok(big), key.Sign(big)},
      {"a 1 MiB manifest without Content-Length", HttpFaultServer::Unannounced(big, big.size()), key.Sign(big)},
      {"a 1 MiB signature", HttpFaultServer::Ok(good), std::string(1 << 20, 'A'), HttpFaultServer::Ok("new words"), 1,
       ManifestRefusal::kBadSignature},
      {"a signed hostile file_count", HttpFaultServer::Ok(hostileCount), key.Sign(hostileCount)},
      {"a signed manifest without digests", HttpFaultServer::Ok(noDigest), key.Sign(noDigest),
       HttpFaultServer::Ok("new words"), 1, ManifestRefusal::kUnusable},
      {"a cut manifest", HttpFaultServer::Cut(good, good.size() / 2), key.Sign(good)},
      {"a cut manifest without Content-Length", HttpFaultServer::Unannounced(good, good.find("file_2")), key.Sign(good),
       HttpFaultServer::Ok("new words"), 1, ManifestRefusal::kBadSignature},
      {"a cut file without Content-Length", HttpFaultServer::Ok(good), key.Sign(good),
       HttpFaultServer::Unannounced("new words", 4)},
      {"a redirect to another host", HttpFaultServer::Ok(good), key.Sign(good), HttpFaultServer::Redirect(otherHost)},
      {"a server that drips", HttpFaultServer::Ok(good), key.Sign(good),
       HttpFaultServer::Drip(std::string(64 * 1024, 'w'), 40)},
      {"a server that never answers", HttpFaultServer::NoAnswer(), key.Sign(good)},
      {"a manifest naming only the word bank and config.ini", HttpFaultServer::Ok(protectedNames),
       key.Sign(protectedNames)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string prefix = "/case" + std::to_string(&c - cases);
    TempDir app;
    InstallVersion1(app, c.installedVersion);
    auto before = Snapshot(app.path());
    server.Set("/lexmuse/webconfig.ini", *c.manifest);
    if (c.signature)
      server.Set("/lexmuse/webconfig.ini.sig", HttpFaultServer::Ok(*c.signature));
    else
      server.Set("/lexmuse/webconfig.ini.sig", HttpFaultServer::Answer(404, "none"));
    server.Set("/lexmuse/v2/words.txt", c.words);
    server.Set("/lexmuse/v2/lexmuse", HttpFaultServer::Ok("new quorvo"));

    RoadResult road = RunRoad(app.path(), server.Url(""), key.Trust());
    EXPECT_EQ(c.refusal, road.manifest.refusal);
    EXPECT_FALSE(road.run.versionRecorded && road.manifest.files.size() > 2);
    auto after = Snapshot(app.path());
    if (std::string(c.name).find("only the word bank") != std::string::npos) {
      // Both entries are skipped; the run, empty, records version 2.
      EXPECT_EQ((std::vector<EntryOutcome>{EntryOutcome::kProtected, EntryOutcome::kProtected}), road.run.outcomes);
      EXPECT_EQ(2, ReadIniInt(app.File("config.ini"), "update", "version", 0));
      EXPECT_NE(std::string::npos, after["config.ini"].find("; installed"));
      after["config.ini"] = before["config.ini"];
    } else {
      EXPECT_FALSE(road.run.versionRecorded);
    }
    EXPECT_EQ(before, after);  // nothing changed, nothing left behind
    // What each case came to, for the record of a run.
    static const char* const kOutcomes[] = {"installed",        "added",         "download failed", "refused",
                                            "not put in place", "unsafe name",   "protected",       "not installed",
                                            "not attempted",    "duplicate name"};
    std::string outcomes;
    for (EntryOutcome outcome : road.run.outcomes) outcomes += std::string(" ") + kOutcomes[static_cast<int>(outcome)];
    static const char* const kRefusals[] = {"none",    "no key",         "bad signature", "unusable",
                                            "expired", "duplicate name", "busy",          "unfinished"};
    std::printf("  %-52s refusal: %s, %zu files listed,%s%s\n", c.name,
                kRefusals[static_cast<int>(road.manifest.refusal)], road.manifest.files.size(),
                outcomes.empty() ? " no run" : outcomes.c_str(), road.run.versionRecorded ? ", version recorded" : "");
  }
}

TEST_F(SignedRoadTest, WithoutAKeyOrAServerNothingIsFetched) {
  const std::string good = testing::SignedManifestText(2, {{Url("words.txt"), "new words"}}, "renova");
  server.Set("/lexmuse/webconfig.ini", HttpFaultServer::Ok(good));
  server.Set("/lexmuse/webconfig.ini.sig", HttpFaultServer::Ok(key.Sign(good)));
  server.Set("/lexmuse/v2/words.txt", HttpFaultServer::Ok("new words"));
  TempDir app;
  InstallVersion1(app);
  auto before = Snapshot(app.path());

  // A build without key and not for the unsigned road refuses and says so.
  RoadResult noKey = RunRoad(app.path(), server.Url(""), UpdateTrust());
  EXPECT_EQ(ManifestRefusal::kNoKey, noKey.manifest.refusal);
  EXPECT_EQ("拒绝升级：此版本没有内置发布公钥", RefusalText(noKey.manifest.refusal));
  EXPECT_EQ(before, Snapshot(app.path()));

  // A key given as text that is no 32-byte key refuses just the same.
  EXPECT_TRUE(SignedUpdateTrust("c2hvcnQ=").RefusesEverything());
  EXPECT_EQ(ManifestRefusal::kNoKey,
            RunRoad(app.path(), server.Url(""), SignedUpdateTrust("c2hvcnQ=")).manifest.refusal);

  // No server: nothing to update, no refusal.
  size_t requests = server.Requests().size();
  RoadResult noServer = RunRoad(app.path(), "", key.Trust());
  EXPECT_EQ(ManifestRefusal::kNone, noServer.manifest.refusal);
  EXPECT_TRUE(noServer.manifest.files.empty());
  EXPECT_EQ(requests, server.Requests().size());

  // quorvo's check: neither without key nor without server is anything
  // fetched or offered.
  testing::RecordingBoxes boxes;
  UpdateCheckEnv env;
  env.appFolder = app.path();
  env.boxes = &boxes;
  env.startProgram = [](const std::string&) { return ADD_FAILURE() << "nothing to start", true; };
  env.serverBase = server.Url("");
  env.trust = UpdateTrust();
  CheckForUpdate(env);
  env.serverBase = "";
  env.trust = key.Trust();
  unsetenv("QUORVO_UPDATE_SERVER");
  CheckForUpdate(env);
  EXPECT_EQ(requests, server.Requests().size());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(before, Snapshot(app.path()));
}

// Planted links at every name the road writes: nothing outside the folder
// changes, and the link itself never becomes an installed file.
TEST_F(SignedRoadTest, PlantedLinksAreNeverWrittenThrough) {
  const std::string good =
      testing::SignedManifestText(2, {{Url("words.txt"), "new words"}, {Url("extra.dat"), "new extra"}}, "new renova");
  server.Set("/lexmuse/webconfig.ini", HttpFaultServer::Ok(good));
  server.Set("/lexmuse/webconfig.ini.sig", HttpFaultServer::Ok(key.Sign(good)));
  server.Set("/lexmuse/v2/words.txt", HttpFaultServer::Ok("new words"));
  server.Set("/lexmuse/v2/extra.dat", HttpFaultServer::Ok("new extra"));
  server.Set("/lexmuse/renova", HttpFaultServer::Ok("new renova"));

  TempDir outside;
  outside.Write("target", "outside bytes");
  std::filesystem::create_directories(outside.File("folder"));
  TempDir app;
  InstallVersion1(app);
  for (const char* name : {"webconfig.ini", "webconfig.ini.sig", "words.txt.bak", "renova.part", "extra.dat"})
    ASSERT_EQ(0, symlink(outside.File("target").c_str(), app.File(name).c_str())) << name;
  ASSERT_EQ(0, symlink(outside.File("folder").c_str(), app.File(".renova-staging").c_str()));
  auto outsideBefore = Snapshot(outside.path());

  // quorvo's check downloads renova.part and webconfig.ini.
  testing::RecordingBoxes boxes;  // answers OK
  std::vector<std::string> started;
  CheckForUpdate(CheckEnv(app, boxes, started));
  EXPECT_EQ(std::vector<std::string>{app.File("renova")}, started);
  EXPECT_EQ("new renova", app.Read("renova"));
  EXPECT_EQ(0755u, testing::ModeOf(app.File("renova")));

  // renova's run: the staging link is replaced by a folder of its own, the
  // extra.dat link by the new file.
  RoadResult road = RunRoad(app.path(), server.Url(""), key.Trust());
  EXPECT_TRUE(road.run.versionRecorded);
  EXPECT_EQ("new words", app.Read("words.txt"));
  EXPECT_EQ("new extra", app.Read("extra.dat"));
  EXPECT_FALSE(std::filesystem::is_symlink(app.File("extra.dat")));
  EXPECT_EQ(0644u, testing::ModeOf(app.File("extra.dat")));  // not the link target's bits
  EXPECT_EQ(outsideBefore, Snapshot(outside.path()));
  EXPECT_EQ("outside bytes", outside.Read("target"));
}

// quorvo starts renova only when it is the one the release signed; when the
// user said yes and it is not, a box says why nothing starts. A download of
// renova never goes beyond the signed size, and no renova.part stays, not
// even one an earlier, killed check left.
TEST_F(SignedRoadTest, QuorvoStartsOnlyTheSignedRenova) {
  const std::string manifest = testing::SignedManifestText(2, {{Url("words.txt"), "new words"}}, "signed renova");
  server.Set("/lexmuse/webconfig.ini", HttpFaultServer::Ok(manifest));
  server.Set("/lexmuse/webconfig.ini.sig", HttpFaultServer::Ok(key.Sign(manifest)));
  const std::string refused = "下载的升级程序与签名的升级清单不符，已拒绝启动";
  struct Case {
    const char* name;
    std::optional<std::string> installed;  // renova in the folder before
    HttpFaultServer::Reply served;         // renova on the server
    bool started;
    std::string renovaAfter;  // "" : none
    std::string box = "";     // the box after the question; "": none
  } cases[] = {
      {"the installed renova is the signed one", "signed renova", HttpFaultServer::Ok("anything"), true,
       "signed renova"},
      {"a missing renova is fetched and checked", std::nullopt, HttpFaultServer::Ok("signed renova"), true,
       "signed renova"},
      {"a foreign installed renova is replaced", "#!/bin/sh\nrm -rf ~\n", HttpFaultServer::Ok("signed renova"), true,
       "signed renova"},
      {"the server's renova is not the signed one", std::nullopt, HttpFaultServer::Ok("#!/bin/sh\nevil\n"), false, "",
       refused},
      {"a foreign renova stays unstarted when the server's is foreign too", "old renova",
       HttpFaultServer::Ok("#!/bin/sh\nevil\n"), false, "old renova", refused},
      {"the server's renova never ends", std::nullopt, HttpFaultServer::Endless(), false, "", refused},
      {"the server's renova is the signed one and more, unannounced", std::nullopt,
       HttpFaultServer::Unannounced("signed renova and more", 22), false, "", refused},
      {"the server has no renova", std::nullopt, HttpFaultServer::Answer(404, "none"), false, "",
       "无法下载升级程序，请稍后再试"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = "/lexmuse/renova";
    server.Set(path, c.served);
    long long sentBefore = server.BodyBytesSent(path);
    TempDir app;
    InstallVersion1(app);
    if (c.installed) app.Write("renova", *c.installed);
    app.Write("renova.part", std::string(100000, 'p'));  // left by a check that was killed
    testing::RecordingBoxes boxes;                       // answers OK
    std::vector<std::string> started;
    CheckForUpdate(CheckEnv(app, boxes, started));
    std::vector<std::string> expectedBoxes = {"软件有更新，点确定更新"};
    if (!c.box.empty()) expectedBoxes.push_back(c.box);
    EXPECT_EQ(expectedBoxes, boxes.Texts());
    EXPECT_EQ(c.started ? 1u : 0u, started.size());
    if (c.renovaAfter.empty())
      EXPECT_FALSE(Exists(app.File("renova")));
    else
      EXPECT_EQ(c.renovaAfter, app.Read("renova"));
    EXPECT_FALSE(Exists(app.File("renova.part")));
    EXPECT_FALSE(Exists(app.File("webconfig.ini")));
    // An endless renova is given up at once (what the socket buffers hold).
    EXPECT_LT(server.BodyBytesSent(path) - sentBefore, 64LL << 20);
  }
}

int RunTool(const std::vector<std::string>& args) {
  std::string command = RENOVA_RELEASE;
  for (const std::string& arg : args) command += " '" + arg + "'";
  command += " >/dev/null 2>&1";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The publisher's tool end to end: a key pair, a signed release of version
// 2 served by a real HTTP server, installed whole; its check passes, and
// fails once a published file is touched.
TEST(RenovaReleaseTest, APublishedReleaseInstallsVersion2) {
  TempDir keys, build, site, app;
  ASSERT_EQ(0, RunTool({"keygen", "--secret", keys.File("secret"), "--public", keys.File("public")}));
  EXPECT_EQ(0600u, testing::ModeOf(keys.File("secret")));
  std::string publicKey = keys.Read("public");
  ASSERT_EQ(45u, publicKey.size());  // 44 base64 characters and the line end
  EXPECT_EQ('\n', publicKey.back());
  // keygen never overwrites a key.
  EXPECT_NE(0, RunTool({"keygen", "--secret", keys.File("secret"), "--public", keys.File("public2")}));

  build.Write("quorvo", "quorvo version 2");
  chmod(build.File("quorvo").c_str(), 0755);
  build.Write("renova", "renova version 2");
  build.Write("words.txt", "words of version 2");
  std::string big(3 << 20, '\0');
  std::mt19937 random(5);
  for (char& ch : big) ch = static_cast<char>(random());
  build.Write("big.dat", big);
  build.Write("dict_main.db", "a bank");

  testing::PythonHttpServer server(site.path());
  ASSERT_TRUE(server.running());
  std::vector<std::string> publish = {
      "publish", "--secret",          keys.File("secret"), "--version", "2", "--base-url", server.Base() + "/lexmuse",
      "--out",   site.File("lexmuse")};
  // A word bank is never published.
  std::vector<std::string> withBank = publish;
  withBank.push_back(build.File("dict_main.db"));
  EXPECT_NE(0, RunTool(withBank));
  for (const char* name : {"quorvo", "renova", "words.txt", "big.dat"}) publish.push_back(build.File(name));
  ASSERT_EQ(0, RunTool(publish));
  EXPECT_TRUE(Exists(site.File("lexmuse/lexmuse")));  // quorvo as the server serves it
  EXPECT_TRUE(Exists(site.File("lexmuse/webconfig.ini.sig")));
  EXPECT_EQ(0, RunTool({"verify", "--public", keys.File("public"), site.File("lexmuse")}));

  app.Write("config.ini", "[update]\nversion=1\n");
  app.Write("quorvo", "quorvo version 1");
  chmod(app.File("quorvo").c_str(), 0755);
  app.Write("words.txt", "words of version 1");
  app.Write("dict_main.db", "the user's bank");
  RoadResult road = RunRoad(app.path(), server.Base(), SignedUpdateTrust(publicKey));
  EXPECT_TRUE(road.manifest.verified);
  EXPECT_TRUE(road.run.versionRecorded);
  EXPECT_EQ(2, ReadIniInt(app.File("config.ini"), "update", "version", 0));
  EXPECT_EQ("quorvo version 2", app.Read("quorvo"));
  EXPECT_EQ(0755u, testing::ModeOf(app.File("quorvo")));
  EXPECT_EQ("renova version 2", app.Read("renova"));
  EXPECT_EQ(0755u, testing::ModeOf(app.File("renova")));
  EXPECT_EQ("words of version 2", app.Read("words.txt"));
  EXPECT_TRUE(app.Read("big.dat") == big);
  EXPECT_EQ("the user's bank", app.Read("dict_main.db"));
  EXPECT_FALSE(Exists(app.File(".renova-staging")));
  EXPECT_FALSE(Exists(app.File("webconfig.ini")));

  // Played again, the same release offers nothing.
  EXPECT_TRUE(RunRoad(app.path(), server.Base(), SignedUpdateTrust(publicKey)).manifest.files.empty());

  // One byte of a published file changed: verify fails.
  site.Write("lexmuse/words.txt", "words of version 3");
  EXPECT_EQ(1, RunTool({"verify", "--public", keys.File("public"), site.File("lexmuse")}));
}

}  // namespace
}  // namespace quorvo
