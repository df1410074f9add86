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
#include "testing/recording_boxes.h"
#include "testing/scoped_mount.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_database.h"

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

// Another process that holds a lock on the database until released: python3's
// sqlite3 module, in a transaction that is either exclusive (nobody may read
// or write) or a reading one (others may read, and write up to the commit).
class LockingProcess {
 public:
  enum class Kind { kExclusive, kReading };
  LockingProcess(const std::string& path, Kind kind) {
    const char* script =
        "import sqlite3, sys\n"
        "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
        "if sys.argv[2] == 'exclusive':\n"
        "    c.execute('BEGIN EXCLUSIVE')\n"
        "else:\n"
        "    c.execute('BEGIN')\n"
        "    c.execute('SELECT count(*) FROM sqlite_master').fetchall()\n"
        "print('locked', flush=True)\n"
        "sys.stdin.readline()\n"
        "c.execute('COMMIT')\n"
        "print('released', flush=True)\n";
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(toChild[0], 0);
      dup2(fromChild[1], 1);
      execlp("python3", "python3", "-c", script, path.c_str(), kind == Kind::kExclusive ? "exclusive" : "reading",
             nullptr);
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
    locked_ = ReadLine() == "locked";
  }
  ~LockingProcess() {
    Release();
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
  }
  bool locked() const { return locked_; }
  // Commits the other process's transaction; true once it has.
  bool Release() {
    if (!locked_) return false;
    locked_ = false;
    if (write(in_, "\n", 1) != 1) return false;
    bool released = ReadLine() == "released";
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return released;
  }

 private:
  std::string ReadLine() {
    std::string line;
    char c;
    while (read(out_, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  bool locked_ = false;
};

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
  SetHot(db, kMainWord, {"apple"}, "7", boxes);
  MarkKnown(db, kMainWord, {"pear"});
  DeleteWords(db, kMainWord, {"pear"}, boxes);
  AddToRecitationList(db, {{"apple", "", Gbk("苹果"), "", Gbk("不会"), "3"}}, boxes, nullptr);
  CreateBank(db, "novel", boxes);
  DropBank(db, "novel", kMainWord, boxes);
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
       {kSyntax, kSyntax, kRefresh, kAddFailed, kDropped},
       false,
       {}},
      {"empty",
       [](TempDir& d, std::string*) {
         d.Write("dict_main.db", "");
         return std::shared_ptr<void>();
       },
       0,
       {kSyntax, kSyntax, kRefresh, kAddFailed, kDropped},
       false,
       {}},
      {"not a database",
       [](TempDir& d, std::string*) {
         d.Write("dict_main.db", "SQLite format 2\n" + std::string(8000, '\x7f') + "\0\1\2"s);
         return std::shared_ptr<void>();
       },
       0,
       {kSyntax, kSyntax, kSyntax, kRefresh, kAddFailed, kDropped},
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
       {kRefresh, kAddFailed, kDropped},
       true,
       original},
      {"locked by another process (an exclusive transaction)",
       [](TempDir& d, std::string* skip) -> std::shared_ptr<void> {
         MakeWordFile(d.File("dict_main.db"));
         auto lock = std::make_shared<LockingProcess>(d.File("dict_main.db"), LockingProcess::Kind::kExclusive);
         if (!lock->locked()) *skip = "python3 could not lock the file";
         return lock;
       },
       0,
       {kSyntax, kSyntax, kSyntax, kRefresh, kAddFailed, kDropped},
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
  {
    LockingProcess reader(path, LockingProcess::Kind::kReading);
    ASSERT_TRUE(reader.locked());
    SetHot(db, kMainWord, {"apple"}, "7", boxes);
    EXPECT_TRUE(sqlite3_get_autocommit(db.handle()));
    EXPECT_TRUE(reader.Release());
  }
  // A lookup stores a translation afterwards; then the program ends.
  ASSERT_EQ(SQLITE_OK, db.Execute(UpdateTranslationStatement(kMainWord, Gbk("新的"), "pear")));
  db.Close();
  auto rows = testing::ReadBank(path, kMainWord);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ(Gbk("新的"), rows[1].trans);
  EXPECT_EQ("3", rows[0].hot);  // the batch that could not commit is not in the file
  // ...and says so, instead of passing for done.
  EXPECT_EQ((std::vector<std::string>{"数据库正被其他程序占用，这次操作的修改没有保存。请稍后再试。"}), boxes.Texts());
}

// A second process holds the file while the lookups' write group is open
// and a batch comes: the batch is refused, the group's store survives.
// Then a batch whose own commit fails says so, and the stores committed
// before it stay; a lookup store made while it is open waits for it instead
// of being rolled back with it.
TEST(DatabaseFileFaults, BatchesNeitherJoinNorRollBackTheLookupsStores) {
  TempDir dir;
  std::string path = dir.File("dict_main.db");
  MakeWordFile(path);
  RecordingBoxes boxes;
  WordDatabase db(&boxes);
  ASSERT_TRUE(db.Open(path));
  db.SetBusyTimeout(50);
  db.SetWriteGroupWindow(std::chrono::seconds(60));  // only the test ends the group
  const std::string refused = "数据库正被其他程序占用，刚查到的释义还没能写入，这次操作没有进行。请稍后再试。";
  const std::string notSaved = "数据库正被其他程序占用，这次操作的修改没有保存。请稍后再试。";

  // 1. A group that cannot commit: the batch is refused and does not begin.
  db.ExpectGroupWrite();  // more stores to come: the group stays open
  db.WriteInGroup([&] { db.Execute(UpdateTranslationStatement(kMainWord, Gbk("新的"), "pear")); });
  ASSERT_TRUE(db.WriteGroupOpen());
  {
    LockingProcess reader(path, LockingProcess::Kind::kReading);
    ASSERT_TRUE(reader.locked());
    EXPECT_FALSE(SetHot(db, kMainWord, {"apple"}, "7", boxes));
    EXPECT_EQ(std::vector<std::string>{refused}, boxes.Texts());
    EXPECT_TRUE(db.WriteGroupOpen());
    EXPECT_TRUE(reader.Release());
  }
  db.GroupWriteDone();  // the last announced store: the group commits
  EXPECT_FALSE(db.WriteGroupOpen());
  auto rows = testing::ReadBank(path, kMainWord);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ("3", rows[0].hot);
  EXPECT_EQ(Gbk("新的"), rows[1].trans);

  // 2. A batch whose own commit fails: its error, not its success text;
  // the store committed before it stays.
  bool notified = false;
  const std::pair<const char*, std::function<bool()>> cases[] = {
      {"delete", [&] { return DeleteWords(db, kMainWord, {"apple"}, boxes); }},
      {"hot", [&] { return SetHot(db, kMainWord, {"apple"}, "9", boxes); }},
      {"known", [&] { return MarkKnown(db, kMainWord, {"apple"}, boxes); }},
      {"recite",
       [&] {
         return AddToRecitationList(db, {{"apple", "", "x", "", Gbk("不会"), "3"}}, boxes, [&] { notified = true; });
       }},
  };
  for (const auto& [what, batch] : cases) {
    SCOPED_TRACE(what);
    boxes.shown.clear();
    LockingProcess reader(path, LockingProcess::Kind::kReading);
    ASSERT_TRUE(reader.locked());
    EXPECT_FALSE(batch());
    EXPECT_EQ(std::vector<std::string>{notSaved}, boxes.Texts());
    EXPECT_TRUE(sqlite3_get_autocommit(db.handle()));
    EXPECT_TRUE(reader.Release());
  }
  EXPECT_FALSE(notified);
  rows = testing::ReadBank(path, kMainWord);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ("3", rows[0].hot);
  EXPECT_EQ("0", rows[0].known);
  EXPECT_EQ(Gbk("新的"), rows[1].trans);
  EXPECT_TRUE(testing::ReadBank(path, kMainRemember).empty());

  // 3. A lookup's store that comes while a batch is open waits for it, and
  // the batch's rollback does not take it along.
  ASSERT_TRUE(db.BeginBatch());
  db.Execute(SetHotStatement(kMainWord, 11, "apple"));
  std::atomic<bool> stored{false};
  std::thread lookup([&] {
    db.WriteInGroup([&] {
      db.Execute(UpdateTranslationStatement(kMainWord, Gbk("等过的"), "pear"));
      stored = true;
    });
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(stored.load());
  {
    LockingProcess reader(path, LockingProcess::Kind::kReading);
    ASSERT_TRUE(reader.locked());
    EXPECT_FALSE(db.CommitBatch());
    lookup.join();
    EXPECT_TRUE(stored.load());
    EXPECT_TRUE(reader.Release());
  }
  db.CommitWriteGroup();
  EXPECT_FALSE(db.WriteGroupOpen());
  rows = testing::ReadBank(path, kMainWord);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ("3", rows[0].hot);  // the batch is not in the file
  EXPECT_EQ(Gbk("等过的"), rows[1].trans);
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
    SetHot(db, name, {"apple"}, "9", boxes);
    MarkKnown(db, name, {"apple"});
    DeleteWords(db, name, {"apple", "pear"}, boxes);
    DropBank(db, name, kMainWord, boxes);
    bool fits = name.size() <= kMaxBankNameBytes;
    EXPECT_EQ(fits ? 0 : -1, CreateBank(db, name, boxes));
    std::vector<std::string> expected = {kSyntax, kRefresh, kDropped};
    if (!fits) expected.push_back("词库名不能为空，也不能超过55个字节，请重新输入");
    EXPECT_EQ(expected, boxes.Texts());
    if (fits) {
      EXPECT_TRUE(DropBank(db, name, kMainWord, boxes));
    }
    EXPECT_EQ((std::vector<std::string>{kMainRemember, kMainWord}), testing::TableNames(path));
    EXPECT_EQ(Values(before), Values(testing::ReadBank(path, kMainWord)));
  }
}

}  // namespace
}  // namespace quorvo
