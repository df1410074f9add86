#include "wordstore/word_database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "testing/recording_boxes.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

using testing::RecordingBoxes;
using testing::TempDir;

class WordDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(dir.File("dict_main.db")));
    testing::CreateBanks(db, {kMainWord});
  }
  TempDir dir;
  RecordingBoxes boxes;
  WordDatabase db{&boxes};
};

TEST_F(WordDatabaseTest, QueryRowsDeliversNumberedRowsAndNothingForNoRows) {
  testing::PutWord(db, kMainWord, "apple", "苹果", 3);
  testing::PutWord(db, kMainWord, "pear", "梨", 1);

  std::vector<std::pair<int, std::string>> seen;
  int rows = db.QueryRows("select * from main_word order by value", [&](int n, const RowView& row) {
    EXPECT_EQ(7, row.ColumnCount());
    EXPECT_EQ(nullptr, row.Text(kColPhonetic));  // NULL yields no text
    EXPECT_EQ(nullptr, row.Text(99));
    seen.emplace_back(n, row.Text(kColValue));
  });
  EXPECT_EQ(2, rows);
  EXPECT_EQ((std::vector<std::pair<int, std::string>>{{1, "apple"}, {2, "pear"}}), seen);

  bool called = false;
  EXPECT_EQ(0,
            db.QueryRows("select * from main_word where value = 'none'", [&](int, const RowView&) { called = true; }));
  EXPECT_FALSE(called);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(WordDatabaseTest, QueryRowsRunsOnlyTheFirstStatementExecuteRunsAll) {
  const std::string two = "insert into main_word (value) values('one'); insert into main_word (value) values('two')";
  db.QueryRows(two, nullptr);
  EXPECT_EQ(1u, testing::ReadBank(dir.File("dict_main.db"), kMainWord).size());
  ASSERT_EQ(SQLITE_OK, db.Execute("delete from main_word"));
  ASSERT_EQ(SQLITE_OK, db.Execute(two));
  EXPECT_EQ(2u, testing::ReadBank(dir.File("dict_main.db"), kMainWord).size());
}

TEST_F(WordDatabaseTest, BadQueriesShowTheSyntaxMessageAndYieldNoRows) {
  const char* bad[] = {"select * from no_such_table", "selec * from main_word", ""};
  for (const char* sql : bad) {
    boxes.shown.clear();
    EXPECT_EQ(0, db.QueryRows(sql, [](int, const RowView&) { FAIL(); })) << sql;
    ASSERT_EQ(1u, boxes.shown.size()) << sql;
    EXPECT_EQ(BoxKind::Plain, boxes.shown[0].kind);
    EXPECT_EQ("语法错误，请检查", boxes.shown[0].text);
  }
  // Without a connection the same message shows.
  WordDatabase closed(&boxes);
  boxes.shown.clear();
  EXPECT_EQ(0, closed.QueryRows("select * from main_word", nullptr));
  EXPECT_EQ(1u, boxes.shown.size());
}

TEST_F(WordDatabaseTest, ExecuteLoggedPrintsOneLineAndReportsFailure) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(0, db.ExecuteLogged(CreateBankStatement("fresh")));
  EXPECT_EQ(-1, db.ExecuteLogged(CreateBankStatement("fresh")));
  EXPECT_EQ("创建table的SQL成功执行.\n执行创建table的SQL 出错.\n", ::testing::internal::GetCapturedStdout());
}

TEST_F(WordDatabaseTest, LoadTableKeepsHeaderRowAndCells) {
  testing::PutWord(db, kMainWord, "apple", "苹果", 3);
  TableSnapshot snap;
  ASSERT_EQ(SQLITE_OK, db.LoadTable("select * from main_word", &snap));
  EXPECT_EQ(1, snap.Rows());
  EXPECT_EQ(7, snap.Columns());
  EXPECT_STREQ("value", snap.Cell(kColValue));
  EXPECT_STREQ("apple", snap.Cell(7 + kColValue));
  EXPECT_EQ(nullptr, snap.Cell(14));
  EXPECT_NE(SQLITE_OK, db.LoadTable("select * from missing", &snap));
  EXPECT_FALSE(snap.Valid());
  EXPECT_EQ(0, snap.Rows());
}

TEST(WordDatabaseOpen, CreatesAMissingFileAndFailsWhereNoFileCanBe) {
  TempDir dir;
  WordDatabase db;
  EXPECT_TRUE(db.Open(dir.File("new.db")));
  struct stat st;
  EXPECT_EQ(0, stat(dir.File("new.db").c_str(), &st));
  EXPECT_FALSE(db.Open(dir.File("no/such/folder/x.db")));
  EXPECT_FALSE(db.IsOpen());
  EXPECT_NE(SQLITE_OK, db.Execute("select 1"));
}

// A file that is no database is not a syntax error: its reads fail, say
// why, and leave it as it was.
TEST(WordDatabaseOpen, NotADatabaseFailsItsQueriesAndSaysItIsDamaged) {
  TempDir dir;
  dir.Write("junk.db", std::string(4096, 'x'));
  RecordingBoxes boxes;
  WordDatabase db(&boxes);
  ASSERT_TRUE(db.Open(dir.File("junk.db")));
  EXPECT_TRUE(ListBanks(db).empty());
  Status read;
  EXPECT_EQ(0, db.QueryRows("select * from main_word", nullptr, &read));
  EXPECT_EQ(StatusCode::kDamaged, read.code());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(std::string(4096, 'x'), dir.Read("junk.db"));  // left as it was
}

TEST_F(WordDatabaseTest, CountedChangesBelongToTheirOwnStatement) {
  testing::PutWord(db, kMainWord, "apple", "", 1);
  int changes = -1;
  EXPECT_TRUE(db.ExecuteCountingChanges("update main_word set trans='x' where value='apple'", &changes).ok());
  EXPECT_EQ(1, changes);
  EXPECT_TRUE(db.ExecuteCountingChanges("update main_word set trans='x' where value='none'", &changes).ok());
  EXPECT_EQ(0, changes);
  EXPECT_EQ(StatusCode::kRejected, db.ExecuteCountingChanges("update missing set trans='x'", &changes).code());
  EXPECT_EQ(0, changes);
}

// The write group: what another program reading the file sees, and when.
class WriteGroupTest : public WordDatabaseTest {
 protected:
  // The committer stays out of the way unless a test asks for it.
  void SetUp() override {
    WordDatabaseTest::SetUp();
    db.SetWriteGroupWindow(std::chrono::hours(1));
  }
  void Insert(const std::string& word) {
    Status written = db.WriteInGroup([&] { return db.Run(InsertTranslationStatement(kMainWord, word, "t", 1)); });
    ASSERT_TRUE(written.ok()) << written.message();
  }
  // The words of main_word as another connection sees them.
  std::vector<std::string> Committed() {
    std::vector<std::string> words;
    for (const auto& row : testing::ReadBank(dir.File("dict_main.db"), kMainWord)) words.push_back(row.value);
    return words;
  }
  // As this connection sees them.
  std::vector<std::string> Seen() {
    std::vector<std::string> words;
    db.QueryRows("select * from main_word order by value",
                 [&](int, const RowView& row) { words.emplace_back(row.Text(kColValue)); });
    return words;
  }
  using Words = std::vector<std::string>;
};

TEST_F(WriteGroupTest, AWriteWithNoneAnnouncedCommitsAtOnce) {
  Insert("alone");
  EXPECT_FALSE(db.WriteGroupOpen());
  EXPECT_EQ(Words{"alone"}, Committed());
}

TEST_F(WriteGroupTest, AnnouncedWritesShareOneCommitAfterTheLastIsDone) {
  db.ExpectGroupWrite();
  db.ExpectGroupWrite();
  Insert("first");
  EXPECT_TRUE(db.WriteGroupOpen());
  EXPECT_TRUE(Committed().empty());
  EXPECT_EQ(Words{"first"}, Seen());  // the connection sees its own group
  db.GroupWriteDone();
  Insert("second");
  EXPECT_TRUE(Committed().empty());
  db.GroupWriteDone();
  EXPECT_FALSE(db.WriteGroupOpen());
  EXPECT_EQ((Words{"first", "second"}), Committed());
}

TEST_F(WriteGroupTest, TheCommitterEndsAGroupWhoseWriterNeverReports) {
  db.SetWriteGroupWindow(std::chrono::milliseconds(20));
  db.ExpectGroupWrite();
  Insert("waiting");
  // Bounded wait for the committer (its deadline is a fraction of this).
  for (int i = 0; i < 1000 && db.WriteGroupOpen(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(db.WriteGroupOpen());
  EXPECT_EQ(Words{"waiting"}, Committed());
  db.GroupWriteDone();
}

TEST_F(WriteGroupTest, ABatchCommitsTheGroupFirstAndGroupWritesJoinTheBatch) {
  db.ExpectGroupWrite();
  Insert("grouped");
  ASSERT_TRUE(db.BeginBatch().ok());
  EXPECT_EQ(Words{"grouped"}, Committed());
  ASSERT_EQ(SQLITE_OK, db.Execute(InsertTranslationStatement(kMainWord, "batched", "t", 1)));
  Insert("joined");
  EXPECT_FALSE(db.WriteGroupOpen());  // the open transaction is the batch's
  EXPECT_EQ(Words{"grouped"}, Committed());
  ASSERT_TRUE(db.CommitBatch().ok());
  EXPECT_EQ((Words{"batched", "grouped", "joined"}), Committed());
  EXPECT_TRUE(sqlite3_get_autocommit(db.handle()));
  db.GroupWriteDone();
}

TEST_F(WriteGroupTest, CloseCommitsTheGroupAndTheFileKeepsItsRollbackJournal) {
  db.ExpectGroupWrite();
  Insert("last");
  db.Close();
  EXPECT_EQ(Words{"last"}, Committed());
  // Bytes 18 and 19 of the header: 1 for a rollback journal, 2 for WAL.
  std::string header = dir.Read("dict_main.db").substr(0, 20);
  EXPECT_EQ(1, header[18]);
  EXPECT_EQ(1, header[19]);
  EXPECT_FALSE(std::filesystem::exists(dir.File("dict_main.db-wal")));
}

}  // namespace
}  // namespace quorvo
