// Where quorvo keeps its banks: the choice between the portable folder and
// the installed layout, and the first-start copy of the starter database.
#include "startup/app_layout.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <thread>

#include "testing/scoped_mount.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/word_database.h"

namespace quorvo {
namespace {

using testing::TempDir;

LayoutInputs Inputs(std::set<std::string> files, std::string xdg = "", std::string home = "/home/li") {
  LayoutInputs in;
  in.exeFolder = "/opt/q/bin";
  in.xdgDataHome = std::move(xdg);
  in.home = std::move(home);
  in.dataFromBin = "../share/quorvo";
  in.libexecFromBin = "../libexec/quorvo";
  in.exists = [files = std::move(files)](const std::string& path) { return files.count(path) > 0; };
  return in;
}

TEST(ResolveLayout, PortableWhenTheBankOrTheMarkerSitsBesideTheProgram) {
  struct Case {
    const char* name;
    std::set<std::string> files;
    LayoutKind kind;
  };
  const Case cases[] = {
      {"database beside the program", {"/opt/q/bin/dict_main.db"}, LayoutKind::Portable},
      {"portable marker", {"/opt/q/bin/portable"}, LayoutKind::Portable},
      {"both", {"/opt/q/bin/portable", "/opt/q/bin/dict_main.db"}, LayoutKind::Portable},
      {"neither", {}, LayoutKind::Installed},
      // Only the program's own folder counts, never the working folder's.
      {"database in the working folder only", {"dict_main.db", "./dict_main.db"}, LayoutKind::Installed},
      {"a marker of another name", {"/opt/q/bin/portable.txt", "/opt/q/portable"}, LayoutKind::Installed},
  };
  for (const Case& c : cases) {
    AppLayout layout = ResolveLayout(Inputs(c.files));
    EXPECT_EQ(c.kind, layout.kind) << c.name;
    if (c.kind == LayoutKind::Portable) {
      EXPECT_EQ("/opt/q/bin/dict_main.db", layout.bankFile) << c.name;
      EXPECT_EQ("/opt/q/bin", layout.dictdFolder) << c.name;
      EXPECT_EQ("/opt/q/bin/quorvo-dict.tsv", layout.dictData) << c.name;
      EXPECT_EQ("/opt/q/bin/quorvo-lexicon.tsv", layout.lexiconData) << c.name;
      EXPECT_EQ("/opt/q/bin/quorvo-examples.tsv", layout.examplesData) << c.name;
      EXPECT_TRUE(layout.updateCheck) << c.name;
    } else {
      EXPECT_EQ("/home/li/.local/share/quorvo/dict_main.db", layout.bankFile) << c.name;
      EXPECT_EQ("/opt/q/bin/../share/quorvo/dict_main.db", layout.starterFile) << c.name;
      EXPECT_EQ("/opt/q/bin/../libexec/quorvo", layout.dictdFolder) << c.name;
      EXPECT_EQ("/opt/q/bin/../share/quorvo/quorvo-dict.tsv", layout.dictData) << c.name;
      EXPECT_EQ("/opt/q/bin/../share/quorvo/quorvo-lexicon.tsv", layout.lexiconData) << c.name;
      EXPECT_EQ("/opt/q/bin/../share/quorvo/quorvo-examples.tsv", layout.examplesData) << c.name;
      EXPECT_FALSE(layout.updateCheck) << c.name;
    }
  }
}

TEST(ResolveLayout, InstalledBanksFollowXdgDataHome) {
  struct Case {
    const char* xdg;
    const char* home;
    const char* bank;
  };
  const Case cases[] = {
      {"/data/li", "/home/li", "/data/li/quorvo/dict_main.db"},
      {"/data/li/", "/home/li", "/data/li/quorvo/dict_main.db"},
      {"", "/home/li", "/home/li/.local/share/quorvo/dict_main.db"},
      // A relative XDG_DATA_HOME is invalid and ignored.
      {"relative/data", "/home/li", "/home/li/.local/share/quorvo/dict_main.db"},
      // Nowhere to put it: no name rather than one in the working folder.
      {"", "", ""},
      {"", "home", ""},
  };
  for (const Case& c : cases) {
    AppLayout layout = ResolveLayout(Inputs({}, c.xdg, c.home));
    EXPECT_EQ(c.bank, layout.bankFile) << c.xdg << " / " << c.home;
  }
}

AppLayout InstalledIn(const TempDir& dir, const std::string& dataHome) {
  AppLayout layout;
  layout.kind = LayoutKind::Installed;
  layout.bankFile = dataHome + "/quorvo/dict_main.db";
  layout.starterFile = dir.File("starter.db");
  return layout;
}

void MakeStarter(const std::string& path, const std::string& word) {
  WordDatabase db;
  ASSERT_TRUE(db.Open(path));
  testing::CreateBanks(db, {"main_word", "main_remember"});
  testing::PutWord(db, "main_word", word, "苹果", 5);
}

TEST(PrepareBankFile, CopiesTheStarterOnceAndNeverReplacesTheBank) {
  TempDir dir;
  MakeStarter(dir.File("starter.db"), "apple");
  AppLayout layout = InstalledIn(dir, dir.File("deep/er/data"));

  ASSERT_EQ("", PrepareBankFile(layout));
  auto rows = testing::ReadBank(layout.bankFile, "main_word");
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ("apple", rows[0].value);
  // Only the bank is left in its folder: no temporary copy.
  size_t entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.File("deep/er/data/quorvo"))) ++entries;
  EXPECT_EQ(1u, entries);

  // The user's words stay; a changed starter (a package upgrade) is not copied.
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(layout.bankFile));
    testing::PutWord(db, "main_word", "pear", "梨", 2);
  }
  std::filesystem::remove(dir.File("starter.db"));
  MakeStarter(dir.File("starter.db"), "zebra");
  ASSERT_EQ("", PrepareBankFile(layout));
  rows = testing::ReadBank(layout.bankFile, "main_word");
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ("apple", rows[0].value);
  EXPECT_EQ("pear", rows[1].value);
}

TEST(PrepareBankFile, TwoFirstStartsAtOnceLeaveOneWholeBank) {
  TempDir dir;
  MakeStarter(dir.File("starter.db"), "apple");
  AppLayout layout = InstalledIn(dir, dir.File("data"));
  std::string a, b;
  std::thread first([&] { a = PrepareBankFile(layout); });
  std::thread second([&] { b = PrepareBankFile(layout); });
  first.join();
  second.join();
  EXPECT_EQ("", a);
  EXPECT_EQ("", b);
  EXPECT_EQ(1u, testing::ReadBank(layout.bankFile, "main_word").size());
  EXPECT_EQ(dir.Read("starter.db"), dir.Read("data/quorvo/dict_main.db"));
}

TEST(PrepareBankFile, SaysWhichPathFailedWhenTheBankCannotBeMade) {
  struct Case {
    const char* name;
    // Prepares the folder; returns the data home to use.
    std::function<std::string(const TempDir&)> setUp;
    const char* reason;  // part of the message
  };
  const Case cases[] = {
      {"a file where the data folder should be",
       [](const TempDir& d) {
         d.Write("data", "not a folder");
         return d.File("data");
       },
       "Not a directory"},
      {"a file where the quorvo folder should be",
       [](const TempDir& d) {
         std::filesystem::create_directory(d.File("data"));
         d.Write("data/quorvo", "");
         return d.File("data");
       },
       "Not a directory"},
      {"a folder where the bank should be",
       [](const TempDir& d) {
         std::filesystem::create_directories(d.File("data/quorvo/dict_main.db"));
         return d.File("data");
       },
       "打开"},
      {"a bank that is not a database",
       [](const TempDir& d) {
         std::filesystem::create_directories(d.File("data/quorvo"));
         d.Write("data/quorvo/dict_main.db", std::string(4096, 'x'));
         return d.File("data");
       },
       "not a database"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    MakeStarter(dir.File("starter.db"), "apple");
    AppLayout layout = InstalledIn(dir, c.setUp(dir));
    std::string problem = PrepareBankFile(layout);
    EXPECT_NE(std::string::npos, problem.find(layout.bankFile)) << c.name << ": " << problem;
    EXPECT_NE(std::string::npos, problem.find(c.reason)) << c.name << ": " << problem;
  }
  AppLayout nowhere;
  nowhere.kind = LayoutKind::Installed;
  EXPECT_NE("", PrepareBankFile(nowhere));
}

TEST(PrepareBankFile, PortableFolderIsUsedAsItIs) {
  TempDir dir;
  MakeStarter(dir.File("dict_main.db"), "apple");
  std::string before = dir.Read("dict_main.db");
  AppLayout layout;
  layout.kind = LayoutKind::Portable;
  layout.bankFile = dir.File("dict_main.db");
  layout.starterFile = dir.File("nothing.db");
  EXPECT_EQ("", PrepareBankFile(layout));
  EXPECT_EQ(before, dir.Read("dict_main.db"));
}

}  // namespace
}  // namespace quorvo

namespace quorvo {
namespace {

// The bank files quorvo may meet at start, and what it tells the learner
// and the windows of each: one notice naming the file and the matter, and
// read-only where writing would change what must not be changed.
TEST(CheckBankFile, NamesEachFileThatIsNotAWritableBankAndOpensItAsItMust) {
  using testing::TempDir;
  struct Case {
    const char* name;
    std::function<void(const std::string& path)> make;
    const char* notice;  // a part of the notice; nullptr: none
    bool readOnly;
    std::vector<std::string> tablesAfter;
  };
  auto words = [](const std::string& path) {
    WordDatabase db;
    ASSERT_TRUE(db.Open(path));
    testing::CreateBanks(db, {"main_word", "main_remember"});
    for (int i = 0; i < 400; ++i) testing::PutWord(db, "main_word", "w" + std::to_string(i), "释义", i);
  };
  const Case cases[] = {
      {"a bank", words, nullptr, false, {"main_remember", "main_word"}},
      {"an empty file",
       [](const std::string& path) { std::ofstream(path, std::ios::binary).flush(); },
       "是空的：已在其中建好默认词库 main_word 和背诵列表 main_remember",
       false,
       {"main_remember", "main_word"}},
      {"another program's database",
       [](const std::string& path) {
         WordDatabase db;
         ASSERT_TRUE(db.Open(path));
         ASSERT_EQ(SQLITE_OK, db.Execute("create table customers (name text, city text)"));
       },
       "不是 quorvo 的词库",
       true,
       {"customers"}},
      {"a bank whose main_word was dropped keeps being a bank",
       [](const std::string& path) {
         WordDatabase db;
         ASSERT_TRUE(db.Open(path));
         testing::CreateBanks(db, {"novel"});
       },
       nullptr,
       false,
       {"novel"}},
      {"a bank cut short",
       [&words](const std::string& path) {
         words(path);
         std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
       },
       "不完整",
       true,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string path = dir.File("dict_main.db");
    c.make(path);
    BankFileState state = CheckBankFile(path);
    if (c.notice) {
      EXPECT_NE(std::string::npos, state.notice.find(c.notice)) << state.notice;
      EXPECT_NE(std::string::npos, state.notice.find(path)) << state.notice;
    } else {
      EXPECT_EQ("", state.notice);
    }
    EXPECT_EQ(c.readOnly, !state.readOnlyBanner.empty());
    if (!c.tablesAfter.empty()) {
      EXPECT_EQ(c.tablesAfter, testing::TableNames(path));
    }
  }
}

// A file the learner may not write: named, opened read-only, left as it was.
TEST(CheckBankFile, AFileThatMayNotBeWrittenIsOpenedForReadingOnly) {
  using testing::TempDir;
  TempDir dir;
  std::string path = dir.File("dict_main.db");
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(path));
    testing::CreateBanks(db, {"main_word", "main_remember"});
  }
  std::optional<testing::ScopedMount> mount;
  if (geteuid() == 0) {
    mount.emplace(testing::ScopedMount::ReadOnly(dir.path()));
    if (!mount->mounted()) GTEST_SKIP() << mount->why();
  } else {
    chmod(path.c_str(), 0444);
  }
  BankFileState state = CheckBankFile(path);
  EXPECT_NE(std::string::npos, state.notice.find("只读")) << state.notice;
  EXPECT_NE(std::string::npos, state.notice.find(path)) << state.notice;
  EXPECT_FALSE(state.readOnlyBanner.empty());
}

}  // namespace
}  // namespace quorvo
