// All or nothing across files: a rename that fails at any point of the
// install step, a folder in a file's way, and manifests whose entries are
// one file leave every installed file as it was and record nothing; a
// journal that says the step was complete is finished by the next start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/code_page.h"
#include "testing/http_fault_server.h"
#include "testing/temp_dir.h"
#include "update/ini_file.h"
#include "update/install_journal.h"
#include "update/tests/update_test_support.h"
#include "update/update_run.h"

namespace quorvo {
namespace {

using testing::HttpFaultServer;
using testing::TempDir;

class Statuses : public SilentUpdateRunView {
 public:
  void ShowStatus(const std::string& gbkText) override { last = Utf8(gbkText); }
  void SetProgress(int position) override { bar = position; }
  std::string last;
  int bar = -1;
};

// quorvo and words.txt installed at version 1; the server has version 2 of
// both and extra.dat, new in it.
class InstallStepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"lexmuse", "quorvo", "words.txt", "Words.txt", "words%2Etxt", "alias.txt", "extra.dat"})
      server.Set(std::string("/v2/") + name, HttpFaultServer::Ok(std::string("new ") + name));
    app.Write("config.ini", "[update]\nversion=1\n");
    app.Write("quorvo", "old quorvo");
    chmod(app.File("quorvo").c_str(), 0755);
    app.Write("words.txt", "old words");
  }
  ManifestEntry Entry(const std::string& name) { return {server.Url("/v2/" + name), "", -1}; }
  UpdateRunHooks Hooks() {
    UpdateRunHooks hooks;
    hooks.findWordApp = [] { return -1; };
    hooks.stopWordApp = [](int) {};
    return hooks;
  }
  size_t Downloads() const { return server.Requests().size(); }

  HttpFaultServer server;
  TempDir app;
};

TEST_F(InstallStepTest, AFailedRenameOrAFolderInTheWayPutsEveryFileBack) {
  const std::vector<ManifestEntry> all = {Entry("lexmuse"), Entry("words.txt"), Entry("extra.dat")};
  // quorvo aside (1) and in (2), words.txt aside (3) and in (4), extra.dat in (5).
  for (int failing = 0; failing <= 5; ++failing) {
    SCOPED_TRACE(failing ? "rename " + std::to_string(failing) + " fails" : "a folder where words.txt goes");
    TempDir folder;
    folder.Write("config.ini", "[update]\nversion=1\n");
    folder.Write("quorvo", "old quorvo");
    if (failing == 0) {
      std::filesystem::create_directories(folder.File("words.txt"));
      folder.Write("words.txt/kept", "a file of the folder in the way");
    } else {
      folder.Write("words.txt", "old words");
    }
    auto before = testing::Snapshot(folder.path());
    UpdateRunHooks hooks = Hooks();
    hooks.rename = [failing, calls = 0](const std::string& from, const std::string& to) mutable {
      if (++calls == failing) return errno = EACCES, -1;
      return rename(from.c_str(), to.c_str());
    };
    Statuses view;
    UpdateRunResult result = RunUpdate(folder.path(), testing::Offer(2, all), view, hooks);
    EXPECT_FALSE(result.versionRecorded);
    EXPECT_EQ(before, testing::Snapshot(folder.path()));  // extra.dat gone again, no staging, no lock file
    if (failing == 0) {
      EXPECT_EQ("a file of the folder in the way", folder.Read("words.txt/kept"));
    }
    EXPECT_EQ(0, view.bar);
    EXPECT_EQ("升级未完成：有文件无法替换，已恢复原有文件，下次启动将再次提示更新", view.last);
    EXPECT_EQ(EntryOutcome::kNotPutInPlace, result.outcomes[failing == 0 ? 1 : (failing - 1) / 2]);
  }
}

TEST_F(InstallStepTest, EntriesThatAreOneFileAreRefusedBeforeAnyDownload) {
  ASSERT_EQ(0, symlink("words.txt", app.File("alias.txt").c_str()));
  struct Case {
    const char* name;
    std::vector<ManifestEntry> files;
    size_t repeated;  // the entry refused
  } cases[] = {
      {"the same name twice", {Entry("words.txt"), Entry("extra.dat"), Entry("words.txt")}, 2},
      {"names that differ in case", {Entry("words.txt"), Entry("Words.txt")}, 1},
      {"lexmuse beside quorvo", {Entry("quorvo"), Entry("lexmuse")}, 1},
      {"a percent-escape of the same name", {Entry("words.txt"), Entry("words%2Etxt")}, 1},
      {"a link to another listed file", {Entry("words.txt"), Entry("alias.txt")}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto before = testing::Snapshot(app.path());
    size_t downloads = Downloads();
    Statuses view;
    UpdateRunResult result = RunUpdate(app.path(), testing::Offer(2, c.files), view, Hooks());
    EXPECT_EQ(downloads, Downloads());
    EXPECT_EQ(EntryOutcome::kDuplicateName, result.outcomes[c.repeated]);
    EXPECT_FALSE(result.versionRecorded);
    EXPECT_EQ(before, testing::Snapshot(app.path()));
    EXPECT_EQ("拒绝升级：升级清单把同一个文件列出了两次", view.last);

    // The manifest itself is refused when renova opens.
    std::string web = "[update]\nversion=2\nfile_count=" + std::to_string(c.files.size()) + "\n";
    for (size_t i = 0; i < c.files.size(); ++i) web += "file_" + std::to_string(i + 1) + "=" + c.files[i].url + "\n";
    app.Write("webconfig.ini", web);
    UpdateManifest manifest = LoadManifest(app.path(), InsecureUpdateTrust());
    EXPECT_EQ(ManifestRefusal::kDuplicateName, manifest.refusal);
    EXPECT_TRUE(manifest.files.empty());
  }
}

// A run killed after its journal said "installed": every new file is in
// place, the version not yet recorded. The next start records it.
TEST_F(InstallStepTest, AnInstalledJournalIsCompletedByTheNextStart) {
  const std::string staging = app.File(".renova-staging");
  ASSERT_TRUE(MakeStagingArea(staging).ok());
  app.Write(".renova-staging/old/words.txt", "old words");
  app.Write("words.txt", "new words");
  app.Write("extra.dat", "new extra");
  InstallJournal journal;
  journal.state = InstallJournal::State::kInstalled;
  journal.version = 7;
  journal.entries = {{"/words.txt", true}, {"/extra.dat", false}};
  app.Write(".renova-staging/journal", JournalText(journal));

  Result<Recovery> recovery = RecoverInterruptedRun(app.path());
  ASSERT_TRUE(recovery.ok()) << recovery.status().message();
  EXPECT_EQ(Recovery::kCompleted, *recovery);
  EXPECT_EQ(7, ReadIniInt(app.File("config.ini"), "update", "version", 0));
  EXPECT_EQ("new words", app.Read("words.txt"));
  EXPECT_EQ("new extra", app.Read("extra.dat"));
  EXPECT_FALSE(testing::Exists(staging));

  // A journal cut short is no journal renova wrote: nothing is touched.
  ASSERT_TRUE(MakeStagingArea(staging).ok());
  std::string text = JournalText(journal);
  app.Write(".renova-staging/journal", text.substr(0, text.size() - 4));
  EXPECT_EQ(StatusCode::kDamaged, RecoverInterruptedRun(app.path()).status().code());
  EXPECT_TRUE(testing::Exists(app.File(".renova-staging/journal")));
}

}  // namespace
}  // namespace quorvo
