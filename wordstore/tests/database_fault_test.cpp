// dict_main.db in bad shape: missing, empty, not a database, on a read-only
// file system, locked by another process. The word-bank page's operations
// run against each: they must give the messages they always give, never
// crash, and leave what is in the file as it was. And hostile bank names and
// search texts stay text.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "base/code_page.h"
#include "testing/faulty_vfs.h"
#include "testing/held_file.h"
#include "testing/recording_boxes.h"
#include "testing/scoped_mount.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"
#include "wordstore/word_sentences.h"

namespace quorvo {
namespace {

using testing::RecordingBoxes;
using testing::StoredWord;
using testing::TempDir;
using namespace std::string_literals;

constexpr char kSyntax[] = "语法错误，请检查";
constexpr char kRefresh[] = "更新完毕，请刷新";
constexpr char kAddFailed[] = "添加失败，词库中没有背诵列表。\n请在添加单词中添加新词库:main_remember";
constexpr char kAdded[] = "成功添加到背诵列表";
constexpr char kDropped[] = "删除成功";

// The word-bank page's operations, in the order a user might run them, on a
// fresh connection to path.
struct Session {
  bool opened = false;
  int listed = -1;  // rows of the first list of main_word
  std::vector<std::string> boxes;
};

Session RunSession(const std::string& path) {
  Session s;
  RecordingBoxes boxes;
  WordDatabase db(&boxes);
  s.opened = db.Open(path);
  s.listed = db.QueryRows(SelectAllStatement(kMainWord), nullptr);
  ListBanks(db);
  WordFilter filter;
  filter.searchText = "ap";
  db.QueryRows(BuildSearchStatement(kMainWord, filter), nullptr);
  // What each says when it fails is the window's; here only the file and
  // the operations' own texts are looked at.
  SetHot(db, kMainWord, {"apple"}, "7", boxes).IgnoreError();
  MarkKnown(db, kMainWord, {"pear"}).IgnoreError();
  DeleteWords(db, kMainWord, {"pear"}, boxes).IgnoreError();
  AddToRecitationList(db, {{"apple", "", Gbk("苹果"), "", Gbk("不会"), "3"}}, boxes, nullptr).IgnoreError();
  CreateBank(db, "novel", boxes).IgnoreError();
  DropBank(db, "novel", kMainWord, boxes).IgnoreError();
  s.boxes = boxes.Texts();
  return s;
}

void MakeWordFile(const std::string& path) {
  WordDatabase db;
  ASSERT_TRUE(db.Open(path));
  testing::CreateBanks(db, {kMainWord, kMainRemember});
  testing::PutWord(db, kMainWord, "apple", "苹果", 3);
  testing::PutWord(db, kMainWord, "pear", "梨", 1);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Values(const std::vector<StoredWord>& rows) {
  std::vector<std::string> values;
  for (const auto& row : rows) values.push_back(row.value + "/" + row.hot + "/" + row.known);
  return values;
}

TEST(DatabaseFileFaults, EveryOperationKeepsItsMessagesAndTheFileAsItWas) {
  struct Case {
    const char* name;
    // Makes the folder's dict_main.db; may return a guard (a mount, a lock)
    // that must live while the session runs.
    std::function<std::shared_ptr<void>(TempDir&, std::string* skip)> prepare;
    int listed;
    std::vector<std::string> boxes;
    bool bytesUnchanged;                // the file is exactly as it was
    std::vector<std::string> mainWord;  // value/hot/known after; empty: no such table
  };
  const std::vector<std::string> original = {"apple/3/0", "pear/1/0"};
  std::vector<Case> cases = {
      {"healthy (the session does change a good file)",
       [](TempDir& d, std::string*) {
         MakeWordFile(d.File("dict_main.db"));
         return std::shared_ptr<void>();
       },
       2,
       {kRefresh, kAdded, kDropped},
       false,
       {"apple/7/0"}},
      {"missing: made empty, and the page finds no main_word",
       [](TempDir&, std::string*) { return nullptr; },
       0,
       {kSyntax, kSyntax, kAddFailed, kDropped},
       false,
       {}},
      {"empty",
       [](TempDir& d, std::string*) {
         d.Write("dict_main.db", "");
         return std::shared_ptr<void>();
       },
       0,
       {kSyntax, kSyntax, kAddFailed, kDropped},
       false,
       {}},
      {"not a database",
       [](TempDir& d, std::string*) {
         d.Write("dict_main.db", "SQLite format 2\n" + std::string(8000, '\x7f') + "\0\1\2"s);
         return std::shared_ptr<void>();
       },
       0,
       {},
       true,
       {}},
      {"on a read-only file system",
       [](TempDir& d, std::string* skip) -> std::shared_ptr<void> {
         MakeWordFile(d.File("dict_main.db"));
         if (geteuid() != 0) {
           chmod(d.File("dict_main.db").c_str(), 0444);
           chmod(d.path().c_str(), 0555);
           return nullptr;
         }
         auto mount = std::make_shared<testing::ScopedMount>(testing::ScopedMount::ReadOnly(d.path()));
         if (!mount->mounted()) *skip = mount->why();
         return mount;
       },
       2,
       {},
       true,
       original},
      {"locked by another process (an exclusive transaction)",
       [](TempDir& d, std::string* skip) -> std::shared_ptr<void> {
         MakeWordFile(d.File("dict_main.db"));
         auto lock = std::make_shared<testing::HeldFile>(d.File("dict_main.db"), testing::HeldFile::Kind::kExclusive);
         if (!lock->held()) *skip = "python3 could not lock the file";
         return lock;
       },
       0,
       {},
       true,
       original},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string path = dir.File("dict_main.db");
    std::string skip;
    std::optional<std::string> before;
    std::shared_ptr<void> guard = c.prepare(dir, &skip);
    if (!skip.empty()) {
      std::printf("skipped \"%s\": %s\n", c.name, skip.c_str());
      continue;
    }
    if (std::filesystem::exists(path)) before = FileBytes(path);

    Session session = RunSession(path);
    EXPECT_TRUE(session.opened);
    EXPECT_EQ(c.listed, session.listed);
    EXPECT_EQ(c.boxes, session.boxes);
    guard.reset();  // the lock released, the mount gone

    if (c.bytesUnchanged) {
      ASSERT_TRUE(before);
      EXPECT_EQ(*before, FileBytes(path));
    }
    std::vector<std::string> tables = testing::TableNames(path);
    bool hasMainWord = std::find(tables.begin(), tables.end(), kMainWord) != tables.end();
    EXPECT_EQ(!c.mainWord.empty(), hasMainWord);
    if (hasMainWord) {
      EXPECT_EQ(c.mainWord, Values(testing::ReadBank(path, kMainWord)));
    }
    EXPECT_EQ(tables.end(), std::find(tables.begin(), tables.end(), "novel"));
  }
}

// Another program reading the file while a batch commits: the commit cannot
// finish. The connection must not stay inside the batch's transaction, or
// every later change (the lookups' translations) would join it and vanish
// when the program closes.
TEST(DatabaseFileFaults, ABatchThatCannotCommitLeavesNoTransactionOpen) {
  TempDir dir;
  std::string path = dir.File("dict_main.db");
  MakeWordFile(path);
  RecordingBoxes boxes;
  WordDatabase db(&boxes);
  ASSERT_TRUE(db.Open(path));
  db.SetBusyTimeout(100);
  {
    testing::HeldFile reader(path, testing::HeldFile::Kind::kReading);
    ASSERT_TRUE(reader.held());
    EXPECT_EQ(StatusCode::kBusy, SetHot(db, kMainWord, {"apple"}, "7", boxes).code());
    EXPECT_TRUE(sqlite3_get_autocommit(db.handle()));
    EXPECT_TRUE(reader.Release());
  }
  // A lookup stores a translation afterwards; then the program ends.
  ASSERT_EQ(SQLITE_OK, db.Execute(UpdateTranslationStatement(kMainWord, Gbk("新的"), "pear")));
  db.Close();
  auto rows = testing::ReadBank(path, kMainWord);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ(Gbk("新的"), rows[1].trans);
  EXPECT_EQ("3", rows[0].hot);       // the batch that could not commit is not in the file
  EXPECT_TRUE(boxes.shown.empty());  // no success text for it
}

// A second process holds the file while the lookups' write group is open
// and a batch comes: the batch is refused, the group's store survives.
// Then a batch whose own commit fails keeps none of its changes, and the
// stores committed before it stay; a lookup store made while it is open
// waits for it instead of being rolled back with it.
TEST(DatabaseFileFaults, BatchesNeitherJoinNorRollBackTheLookupsStores) {
  TempDir dir;
  std::string path = dir.File("dict_main.db");
  MakeWordFile(path);
  RecordingBoxes boxes;
  WordDatabase db(&boxes);
  ASSERT_TRUE(db.Open(path));
  db.SetBusyTimeout(50);
  db.SetWriteGroupWindow(std::chrono::seconds(60));  // only the test ends the group

  // 1. A group that cannot commit: the batch is refused and does not begin.
  db.ExpectGroupWrite();  // more stores to come: the group stays open
  std::vector<Status> settled;
  ASSERT_TRUE(db.WriteInGroup([&] { return db.Run(UpdateTranslationStatement(kMainWord, Gbk("新的"), "pear")); },
                              [&](const Status& outcome) { settled.push_back(outcome); })
                  .ok());
  ASSERT_TRUE(db.WriteGroupOpen());
  {
    testing::HeldFile reader(path, testing::HeldFile::Kind::kReading);
    ASSERT_TRUE(reader.held());
    EXPECT_EQ(StatusCode::kBusy, SetHot(db, kMainWord, {"apple"}, "7", boxes).code());
    EXPECT_TRUE(db.WriteGroupOpen());
    EXPECT_TRUE(settled.empty());  // the store is neither counted nor lost yet
    EXPECT_TRUE(reader.Release());
  }
  db.GroupWriteDone();  // the last announced store: the group commits
  EXPECT_FALSE(db.WriteGroupOpen());
  ASSERT_EQ(1u, settled.size());
  EXPECT_TRUE(settled[0].ok());
  auto rows = testing::ReadBank(path, kMainWord);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ("3", rows[0].hot);
  EXPECT_EQ(Gbk("新的"), rows[1].trans);

  // 2. A batch whose own commit fails: none of it stays, no success text,
  // and the store committed before it stays.
  bool notified = false;
  const std::pair<const char*, std::function<Status()>> cases[] = {
      {"delete", [&] { return DeleteWords(db, kMainWord, {"apple"}, boxes); }},
      {"hot", [&] { return SetHot(db, kMainWord, {"apple"}, "9", boxes); }},
      {"known", [&] { return MarkKnown(db, kMainWord, {"apple"}); }},
      {"recite",
       [&] {
         return AddToRecitationList(db, {{"apple", "", "x", "", Gbk("不会"), "3"}}, boxes, [&] { notified = true; });
       }},
      {"drop", [&] { return DropBank(db, kMainRemember, kMainWord, boxes); }},
  };
  boxes.shown.clear();
  for (const auto& [what, batch] : cases) {
    SCOPED_TRACE(what);
    testing::HeldFile reader(path, testing::HeldFile::Kind::kReading);
    ASSERT_TRUE(reader.held());
    EXPECT_EQ(StatusCode::kBusy, batch().code());
    EXPECT_TRUE(sqlite3_get_autocommit(db.handle()));
    EXPECT_TRUE(reader.Release());
  }
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_FALSE(notified);
  rows = testing::ReadBank(path, kMainWord);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ("3", rows[0].hot);
  EXPECT_EQ("0", rows[0].known);
  EXPECT_EQ(Gbk("新的"), rows[1].trans);
  EXPECT_TRUE(testing::ReadBank(path, kMainRemember).empty());

  // 3. A lookup's store that comes while a batch is open waits for it, and
  // the batch's rollback does not take it along.
  ASSERT_TRUE(db.BeginBatch().ok());
  ASSERT_TRUE(db.Run(SetHotStatement(kMainWord, 11, "apple")).ok());
  std::atomic<bool> stored{false};
  std::thread lookup([&] {
    db.WriteInGroup([&] {
        Status ran = db.Run(UpdateTranslationStatement(kMainWord, Gbk("等过的"), "pear"));
        stored = true;
        return ran;
      }).IgnoreError();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(stored.load());
  {
    testing::HeldFile reader(path, testing::HeldFile::Kind::kReading);
    ASSERT_TRUE(reader.held());
    EXPECT_EQ(StatusCode::kBusy, db.CommitBatch().code());
    lookup.join();
    EXPECT_TRUE(stored.load());
    EXPECT_TRUE(reader.Release());
  }
  ASSERT_TRUE(db.CommitWriteGroup().ok());
  EXPECT_FALSE(db.WriteGroupOpen());
  rows = testing::ReadBank(path, kMainWord);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ("3", rows[0].hot);  // the batch is not in the file
  EXPECT_EQ(Gbk("等过的"), rows[1].trans);
}

// Every write the word-bank page starts, against every way a file can
// refuse it: a disk that fills up (at several points of the write), a file
// that may only be read, and another program holding it (for writing, or
// in a read transaction) briefly or for longer than quorvo waits. Each
// either changes the file whole or not at all, and says which cause it met.
TEST(DatabaseFileFaults, EveryWriteIsWholeOrNothingAndNamesItsCause) {
  enum class Fault { kNone, kDiskFull, kReadOnly, kWriterBriefly, kWriterLong, kReaderBriefly, kReaderLong };
  struct Op {
    const char* name;
    std::function<Status(WordDatabase&, RecordingBoxes&)> run;
    const char* success;  // the box shown after a commit; nullptr: none
  };
  std::vector<std::string> many;
  for (int i = 0; i < 300; ++i) many.push_back("w" + std::to_string(i));
  // Words of letters, as the sentence keeper takes them, with a bundled
  // example each in main_word before the write: the text's sentences
  // replace them.
  std::vector<BundledExample> examples;
  std::string text;
  for (int i = 0; i < 300; ++i) {
    std::string word = std::string("ex") + static_cast<char>('a' + i / 26) + static_cast<char>('a' + i % 26);
    examples.emplace_back(word, KeptSentence{"An example of " + word + ".", "WordNet 3.0", true});
    text += "The " + word + " came here. ";
  }
  SentenceKeeper keeper;
  keeper.BeginText("text.txt");
  keeper.Feed(text);
  keeper.EndText();
  const Op ops[] = {
      {"create", [](WordDatabase& db, RecordingBoxes& b) { return CreateBank(db, "novel", b); }, nullptr},
      {"hot", [&](WordDatabase& db, RecordingBoxes& b) { return SetHot(db, kMainWord, many, "9", b); }, nullptr},
      {"known", [&](WordDatabase& db, RecordingBoxes&) { return MarkKnown(db, kMainWord, many); }, nullptr},
      {"delete", [&](WordDatabase& db, RecordingBoxes& b) { return DeleteWords(db, kMainWord, many, b); }, kRefresh},
      {"drop", [](WordDatabase& db, RecordingBoxes& b) { return DropBank(db, "spare", kMainWord, b); }, kDropped},
      {"recite",
       [&](WordDatabase& db, RecordingBoxes& b) {
         std::vector<RecitationCells> rows;
         for (const auto& w : many) rows.push_back({w, "", Gbk("词"), "", Gbk("不会"), "2"});
         return AddToRecitationList(db, rows, b, nullptr);
       },
       kAdded},
      {"examples", [&](WordDatabase& db, RecordingBoxes&) { return StoreBundledExamples(db, "spare", examples); },
       nullptr},
      {"sentences", [&](WordDatabase& db, RecordingBoxes&) { return StoreSentences(db, kMainWord, keeper); }, nullptr},
  };
  const struct {
    Fault fault;
    int64_t budget;  // bytes the disk takes before it is full
    StatusCode expected;
  } faults[] = {
      {Fault::kNone, -1, StatusCode::kOk},
      {Fault::kDiskFull, 0, StatusCode::kDiskFull},
      {Fault::kDiskFull, 600, StatusCode::kDiskFull},    // inside the journal
      {Fault::kDiskFull, 20000, StatusCode::kDiskFull},  // while the file itself is written
      {Fault::kReadOnly, -1, StatusCode::kReadOnly},
      {Fault::kWriterBriefly, -1, StatusCode::kOk},
      {Fault::kWriterLong, -1, StatusCode::kBusy},
      {Fault::kReaderBriefly, -1, StatusCode::kOk},
      {Fault::kReaderLong, -1, StatusCode::kBusy},
  };
  for (const Op& op : ops) {
    for (const auto& f : faults) {
      SCOPED_TRACE(std::string(op.name) + " / fault " + std::to_string(static_cast<int>(f.fault)) + " budget " +
                   std::to_string(f.budget));
      TempDir dir;
      std::string path = dir.File("dict_main.db");
      {
        WordDatabase db;
        ASSERT_TRUE(db.Open(path));
        testing::CreateBanks(db, {kMainWord, kMainRemember, "spare"});
        ASSERT_TRUE(db.BeginBatch().ok());
        for (const auto& w : many) testing::PutWord(db, kMainWord, w, "释义", 1);
        ASSERT_TRUE(db.CommitBatch().ok());
        ASSERT_TRUE(StoreBundledExamples(db, kMainWord, examples).ok());
      }
      const std::string before = testing::DumpFile(path);
      // The same operation on a file nobody hinders: what "whole" means.
      std::string whole;
      {
        TempDir clean;
        ASSERT_EQ(0, std::system(("cp " + path + " " + clean.File("dict_main.db")).c_str()));
        RecordingBoxes boxes;
        WordDatabase db(&boxes);
        ASSERT_TRUE(db.Open(clean.File("dict_main.db")));
        ASSERT_TRUE(op.run(db, boxes).ok());
        db.Close();
        whole = testing::DumpFile(clean.File("dict_main.db"));
      }
      ASSERT_NE(before, whole);

      testing::FaultyVfs vfs;
      vfs.SetReadOnly(f.fault == Fault::kReadOnly);
      std::unique_ptr<testing::HeldFile> held;
      if (f.fault >= Fault::kWriterBriefly) {
        bool writer = f.fault == Fault::kWriterBriefly || f.fault == Fault::kWriterLong;
        held = std::make_unique<testing::HeldFile>(
            path, writer ? testing::HeldFile::Kind::kWriting : testing::HeldFile::Kind::kReading);
        ASSERT_TRUE(held->held());
        if (f.fault == Fault::kWriterBriefly || f.fault == Fault::kReaderBriefly)
          held->ReleaseAfter(std::chrono::milliseconds(50));
      }
      RecordingBoxes boxes;
      Status status;
      {
        WordDatabase db(&boxes);
        ASSERT_TRUE(db.Open(path));
        db.SetBusyTimeout(300);
        vfs.SetWriteBudget(f.budget);
        status = op.run(db, boxes);
        vfs.SetWriteBudget(-1);
        EXPECT_TRUE(sqlite3_get_autocommit(db.handle()));
      }
      held.reset();
      StatusCode expected = f.expected;
      if (f.fault == Fault::kDiskFull && vfs.FullWrites() == 0) expected = StatusCode::kOk;
      if (f.fault == Fault::kDiskFull && f.budget == 0) {
        EXPECT_GT(vfs.FullWrites(), 0);
      }
      EXPECT_EQ(expected, status.code()) << status.message();
      std::string after = testing::DumpFile(path);
      if (status.ok()) {
        EXPECT_EQ(whole, after);
        if (op.success) {
          EXPECT_EQ(std::vector<std::string>{op.success}, boxes.Texts());
        }
      } else {
        EXPECT_EQ(before, after);
        EXPECT_TRUE(boxes.shown.empty());  // no success text for a change that is not there
      }
    }
  }
}

// Search texts and bank names as a user may type them: quotes, semicolons,
// GBK text, 512 characters. Each search finds what it names and nothing
// else; a bank that does not exist changes nothing; main_word stays whole.
TEST(HostileTexts, SearchesAndBankNamesStayText) {
  TempDir dir;
  std::string path = dir.File("dict_main.db");
  MakeWordFile(path);
  RecordingBoxes boxes;
  WordDatabase db(&boxes);
  ASSERT_TRUE(db.Open(path));
  for (const std::string& word : {"it's"s, "x;y"s, Gbk("词库"), "a%b"s})
    ASSERT_EQ(SQLITE_OK, db.Execute(InsertTranslationStatement(kMainWord, word, "t", 1)));
  const std::vector<StoredWord> before = testing::ReadBank(path, kMainWord);
  std::string gbk256;
  for (int i = 0; i < 256; ++i) gbk256 += Gbk("词");

  struct Search {
    std::string text;
    std::string lowestHot;
    int found;
  } searches[] = {
      {"", "", 6},
      {"'", "", 1},
      {std::string(512, '\''), "", 0},
      {std::string(512, 'a'), "", 0},
      // (A GBK text is matched as whole characters only where its bytes,
      // read as UTF-8 the way SQLite's LIKE reads them, fall the same way.)
      {Gbk("词库"), "", 1},
      {gbk256, "", 0},
      {";", "", 1},
      {"'; drop table main_word; --", "", 0},
      {"a' or '1'='1", "", 0},
      {"%", "", 6},                        // the search is a LIKE: its wildcards stay wildcards
      {"", "2; drop table main_word", 1},  // only the leading digits count
      {"", "1 or 1=1", 6},
  };
  for (const Search& s : searches) {
    SCOPED_TRACE("search text of " + std::to_string(s.text.size()) + " bytes: " + s.text.substr(0, 30));
    WordFilter filter;
    filter.searchText = s.text;
    filter.lowestHot = s.lowestHot;
    EXPECT_EQ(s.found, db.QueryRows(BuildSearchStatement(kMainWord, filter), nullptr));
  }
  EXPECT_TRUE(boxes.shown.empty());

  const std::string names[] = {std::string(512, 'b'), "b'; drop table main_remember; --", gbk256,
                               "\"; delete from main_remember; --"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name.substr(0, 30));
    boxes.shown.clear();
    // A list of a bank that does not exist fails its prepare with the message.
    EXPECT_EQ(0, db.QueryRows(SelectAllStatement(name), nullptr));
    // Changes to a bank that is not there fail, and say no success.
    EXPECT_FALSE(SetHot(db, name, {"apple"}, "9", boxes).ok());
    EXPECT_FALSE(MarkKnown(db, name, {"apple"}).ok());
    EXPECT_FALSE(DeleteWords(db, name, {"apple", "pear"}, boxes).ok());
    EXPECT_FALSE(DropBank(db, name, kMainWord, boxes).ok());
    bool fits = name.size() <= kMaxBankNameBytes;
    EXPECT_EQ(fits, CreateBank(db, name, boxes).ok());
    std::vector<std::string> expected = {kSyntax};
    if (!fits) expected.emplace_back("词库名不能为空，也不能超过55个字节，请重新输入");
    EXPECT_EQ(expected, boxes.Texts());
    if (fits) {
      EXPECT_TRUE(DropBank(db, name, kMainWord, boxes).ok());
    }
    EXPECT_EQ((std::vector<std::string>{kMainRemember, kMainWord}), testing::TableNames(path));
    EXPECT_EQ(Values(before), Values(testing::ReadBank(path, kMainWord)));
  }
}

}  // namespace
}  // namespace quorvo
