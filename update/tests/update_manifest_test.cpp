#include "update/update_manifest.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/http_fault_server.h"
#include "testing/python_http_server.h"
#include "testing/temp_dir.h"
#include "update/ini_file.h"
#include "update/tests/update_test_support.h"

namespace quorvo {
namespace {

using testing::TempDir;

std::vector<std::string> Urls(const UpdateManifest& manifest) {
  std::vector<std::string> urls;
  for (const auto& entry : manifest.files) urls.push_back(entry.url);
  return urls;
}

TEST(LoadManifestTest, ComparesVersionsWithTheUpdatersDefaults) {
  const std::string list = "file_count=1\nfile_1=http://h/a.txt\n";
  struct Case {
    const char* config;  // nullptr: no config.ini
    const char* web;     // nullptr: no webconfig.ini
    int newVersion;
    size_t files;
    bool manifestKept;  // deleted at once when the versions are equal
  } cases[] = {
      {"[update]\nversion=3\n", "[update]\nversion=3\n", 3, 0, false},  // equal: nothing to do
      {"[update]\nversion=4\n", "[update]\nversion=3\n", 3, 1, true},   // lower on the server counts too
      {nullptr, "[update]\nversion=1\n", 1, 1, true},                   // local default is 0
      {"[update]\nversion=1\n", nullptr, 1, 0, false},                  // no manifest: version 1, no file
      {"[update]\nversion=0\n", nullptr, 1, 0, false},                  // ... and file_count 0
      {"[update]\nversion=2\n", "[update]\nversion=x\n", 0, 1, true},   // not a number reads 0
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.config) dir.Write("config.ini", c.config);
    if (c.web) dir.Write("webconfig.ini", std::string(c.web) + list);
    UpdateManifest manifest = LoadManifest(dir.path(), InsecureUpdateTrust());
    EXPECT_EQ(c.newVersion, manifest.newVersion) << (c.config ? c.config : "-") << (c.web ? c.web : "-");
    EXPECT_EQ(c.files, manifest.files.size()) << (c.config ? c.config : "-") << (c.web ? c.web : "-");
    EXPECT_EQ(c.manifestKept, testing::Exists(dir.File("webconfig.ini")));
  }
}

TEST(LoadManifestTest, ListsFilesInKeyOrderSkippingMissingAndNoFileEntries) {
  TempDir dir;
  dir.Write("config.ini", "[update]\nversion=1\n");
  dir.Write("webconfig.ini",
            "[update]\nversion=2\nfile_count=5\nfile_3=http://h/c.txt\nfile_1=http://h/a.txt\n"
            "file_2=http://h/b.txt no file here\nFILE_5=http://h/e.txt\nfile_6=http://h/f.txt\n");
  EXPECT_EQ((std::vector<std::string>{"http://h/a.txt", "http://h/c.txt", "http://h/e.txt"}),
            Urls(LoadManifest(dir.path(), InsecureUpdateTrust())));

  // file_count smaller than the keys: the ones above it are ignored.
  dir.Write("webconfig.ini", "[update]\nversion=2\nfile_count=1\nfile_1=http://h/a\nfile_2=http://h/b\n");
  EXPECT_EQ(std::vector<std::string>{"http://h/a"}, Urls(LoadManifest(dir.path(), InsecureUpdateTrust())));

  // A huge file_count ends at the last key present.
  dir.Write("webconfig.ini", "[update]\nversion=2\nfile_count=2000000000\nfile_1=http://h/a\n");
  EXPECT_EQ(std::vector<std::string>{"http://h/a"}, Urls(LoadManifest(dir.path(), InsecureUpdateTrust())));

  // Keys that file_%d never names (leading zeros, more digits than an int)
  // do not stretch the walk to file_count: found by the manifest fuzzer,
  // whose input took two billion lookups before.
  dir.Write("webconfig.ini",
            "[update]\nversion=2\nfile_count=2000000000\nfile_1=http://h/a\nfile_45220000444444=x\n"
            "file_0000000000000002000000000=y\nfile_02=z\n");
  EXPECT_EQ(std::vector<std::string>{"http://h/a"}, Urls(LoadManifest(dir.path(), InsecureUpdateTrust())));
}

TEST(LoadManifestTest, ReadsPublishedDigestsAndSizes) {
  TempDir dir;
  dir.Write("webconfig.ini",
            "[update]\nversion=2\nfile_count=3\n"
            "file_1=http://h/a\nsha256_1=ABCDEF\nsize_1=1234\n"
            "file_2=http://h/b\n"
            "file_3=http://h/c\nsize_3=big\n");
  UpdateManifest manifest = LoadManifest(dir.path(), InsecureUpdateTrust());
  ASSERT_EQ(3u, manifest.files.size());
  EXPECT_EQ("abcdef", manifest.files[0].sha256);
  EXPECT_EQ(1234, manifest.files[0].size);
  EXPECT_EQ("", manifest.files[1].sha256);
  EXPECT_EQ(-1, manifest.files[1].size);
  EXPECT_EQ(0, manifest.files[2].size);  // published but not a number: matches only an empty file
}

// The expiry date against a clock at 2025-03-10 12:00 UTC. An expired
// manifest is refused whatever its version, so a frozen copy that offers
// the installed version shows up instead of passing for "nothing to do".
TEST(ManifestExpiryTest, ExpiredOrMalformedDatesAreRefused) {
  const std::time_t now = 1741608000;  // date -u -d '2025-03-10 12:00:00' +%s
  const std::string digests = "file_count=1\nfile_1=http://h/a\nsha256_1=" + std::string(64, 'a') +
                              "\nsize_1=1\nrenova_sha256=" + std::string(64, 'b') + "\nrenova_size=1\n";
  struct Case {
    const char* expires;  // nullptr: no expires key
    bool signedRoad;
    int version;
    ManifestRefusal refusal;
  } cases[] = {
      {"2025-03-10", true, 2, ManifestRefusal::kNone},  // its last day
      {"2025-03-09", true, 2, ManifestRefusal::kExpired},
      {"2025-03-09", true, 1, ManifestRefusal::kExpired},  // the installed version, frozen
      {"2025-03-09", false, 2, ManifestRefusal::kExpired},
      {"2026-01-01", false, 2, ManifestRefusal::kNone},
      {nullptr, true, 2, ManifestRefusal::kUnusable},
      {nullptr, false, 2, ManifestRefusal::kNone},
      {"2025-02-29", true, 2, ManifestRefusal::kUnusable},  // not a day of 2025
      {"2025-3-10", true, 2, ManifestRefusal::kUnusable},
      {"2025-03-10x", true, 2, ManifestRefusal::kUnusable},
      {"", true, 2, ManifestRefusal::kUnusable},
  };
  for (const Case& c : cases) {
    std::string text = "[update]\nversion=" + std::to_string(c.version) + "\n" + digests;
    if (c.expires) text += "expires=" + std::string(c.expires) + "\n";
    IniFile web;
    ASSERT_TRUE(web.LoadText(text));
    UpdateManifest manifest = ManifestFromIni(web, 1, c.signedRoad, now);
    EXPECT_EQ(c.refusal, manifest.refusal) << (c.expires ? c.expires : "none") << " signed " << c.signedRoad;
    EXPECT_EQ(c.refusal == ManifestRefusal::kNone && c.version == 2 ? 1u : 0u, manifest.files.size());
  }
  UpdateManifest expired;
  expired.refusal = ManifestRefusal::kExpired;
  expired.expires = "2025-03-09";
  EXPECT_EQ("拒绝升级：升级清单已于 2025-03-09 过期，升级服务器提供的可能是旧的副本", RefusalText(expired));
}

TEST(FetchManifestTest, ReplacesTheLocalCopyAndDropsBrokenOnes) {
  TempDir site;
  std::filesystem::create_directories(site.File("lexmuse"));
  site.Write("lexmuse/webconfig.ini", "[update]\nversion=5\n");
  testing::PythonHttpServer server(site.path());
  ASSERT_TRUE(server.running());

  TempDir dir;
  dir.Write("webconfig.ini", "[update]\nversion=9\n");
  FetchManifest(dir.path(), server.Base());
  EXPECT_EQ("[update]\nversion=5\n", dir.Read("webconfig.ini"));

  // Gone from the server: the stale copy is deleted all the same.
  std::filesystem::remove(site.File("lexmuse/webconfig.ini"));
  FetchManifest(dir.path(), server.Base());
  EXPECT_FALSE(testing::Exists(dir.File("webconfig.ini")));

  // Cut in the middle: the part that arrived is not kept as a manifest.
  testing::HttpFaultServer faulty;
  std::string manifest = "[update]\nversion=5\nfile_count=3\nfile_1=http://h/a\nfile_2=http://h/b\n";
  faulty.Set("/lexmuse/webconfig.ini", testing::HttpFaultServer::Cut(manifest, 45));
  FetchManifest(dir.path(), "http://127.0.0.1:" + std::to_string(faulty.port()));
  EXPECT_FALSE(testing::Exists(dir.File("webconfig.ini")));
}

}  // namespace
}  // namespace quorvo
