#include "wordstore/word_bank.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/code_page.h"
#include "testing/recording_boxes.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"

namespace quorvo {
namespace {

using testing::RecordingBoxes;
using testing::TempDir;

WordFilter SearchFor(const std::string& text) {
  WordFilter f;
  f.searchText = text;
  return f;
}

TEST(WordBankStatements, OrdinaryInputGivesTheFixedTexts) {
  struct Case {
    std::string got;
    std::string want;
  };
  WordFilter example{"ab", KnownFilter::Unknown, "3", "", HotOrder::Descending};
  WordFilter everything{"", KnownFilter::All, "", "", HotOrder::Descending};
  WordFilter zeroLow{"", KnownFilter::None, "0", "", HotOrder::None};
  WordFilter paddedLow{"", KnownFilter::Known, "05", "12", HotOrder::Ascending};
  WordFilter junkHot{"", KnownFilter::None, "7x", "abc", HotOrder::None};
  const Case cases[] = {
      {BuildSearchStatement("main_word", example),
       "select * from main_word where value like '%ab%' and known = 0  and hot >= 3 order by hot desc "},
      {BuildSearchStatement("main_word", everything),
       "select * from main_word where value like '%%' order by hot desc "},
      {BuildSearchStatement("main_word", zeroLow), "select * from main_word where value like '%%'"},
      {BuildSearchStatement("b1", paddedLow),
       "select * from b1 where value like '%%' and known = 1  and hot >= 05 and hot <= 12 order by hot asc "},
      {BuildSearchStatement("b1", junkHot), "select * from b1 where value like '%%' and hot >= 7"},
      {CreateBankStatement("novel"),
       "CREATE TABLE novel (id INTEGER  PRIMARY KEY NOT NULL, value VARCHAR(56)  UNIQUE NULL, phonetic VARCHAR(28)  "
       "NULL, trans  VARCHAR(1024)  NULL, sentence_id INTEGER  NULL, known BOOLEAN DEFAULT '0' NULL, hot INTEGER  "
       "NULL)"},
      {ListBanksStatement(), "select * from sqlite_master WHERE type = 'table' and name != 'main_remember'"},
      {DeleteWordStatement("b1", "apple"), "delete from b1 where value = 'apple'"},
      {DropBankStatement("b1"), "drop table b1"},
      {SetHotStatement("b1", 9, "apple"), "update b1 set hot = 9 where value = 'apple'"},
      {MarkKnownStatement("b1", "apple"), "update b1 set known = 1 where value = 'apple'"},
      {AddToRecitationStatement({"word", "", "translation", "", Gbk("不会"), "7"}),
       "insert into main_remember (value, phonetic, trans, sentence_id, known, hot) values('word', '', "
       "'translation', '', '0', '7')"},
      {AddToRecitationStatement({"word", "", "t", "", Gbk("会"), "7"}),
       "insert into main_remember (value, phonetic, trans, sentence_id, known, hot) values('word', '', 't', '', "
       "'1', '7')"},
      {UpdateTranslationStatement("b1", "t", "w"), "update b1 set trans='t' where value='w'"},
      {InsertTranslationStatement("b1", "w", "t", 4), "insert into b1 (value, trans, hot) values('w', 't', 4)"},
      {UpdatePhoneticStatement("b1", "/a'b/", "w"), "update b1 set phonetic='/a''b/' where value='w'"},
      {SelectAllStatement("main_remember"), "select * from main_remember"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, c.got);
}

// Every value that reaches a statement is held as text: none of these may
// fail a statement, run a second one, or harm main_word.
class HostileInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(path));
    testing::CreateBanks(db, {kMainWord, kMainRemember});
    testing::PutWord(db, kMainWord, "keep", "保留", 5);
  }
  void ExpectMainWordIntact() {
    auto rows = testing::ReadBank(path, kMainWord);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ("keep", rows[0].value);
    EXPECT_EQ(Gbk("保留"), rows[0].trans);
  }
  TempDir dir;
  std::string path = dir.File("dict_main.db");
  RecordingBoxes boxes;
  WordDatabase db{&boxes};
};

const std::string kHostile[] = {
    "x; drop table main_word; --",
    "it's",
    "'); drop table main_word; --",
    "\"; drop table main_word; --",
    "a\"b",
    "order",
    "main word",
    "词库一",
};

TEST_F(HostileInput, BankNamesAreCreatedUsedAndDroppedAsTheyAre) {
  for (const auto& name : kHostile) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(CreateBank(db, name, boxes).ok());
    ASSERT_EQ(SQLITE_OK, db.Execute(InsertTranslationStatement(name, "w'x", "t'; --", 2)));
    int changes = 0;
    ASSERT_TRUE(db.ExecuteCountingChanges(UpdateTranslationStatement(name, "u'", "w'x"), &changes).ok());
    EXPECT_EQ(1, changes);
    auto rows = testing::ReadBank(path, name);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("w'x", rows[0].value);
    EXPECT_EQ("u'", rows[0].trans);
    auto banks = ListBanks(db);
    EXPECT_NE(std::find(banks.begin(), banks.end(), name), banks.end());
    // Names that mention main_word are never dropped; drop those by hand.
    bool mentionsMainWord = name.find(kMainWord) != std::string::npos;
    EXPECT_EQ(!mentionsMainWord, DropBank(db, name, kMainWord, boxes).ok());
    if (mentionsMainWord) {
      ASSERT_EQ(SQLITE_OK, db.Execute(DropBankStatement(name)));
    }
    EXPECT_EQ((std::vector<std::string>{kMainRemember, kMainWord}), testing::TableNames(path));
    ExpectMainWordIntact();
  }
}

TEST_F(HostileInput, WordsAndSearchTextsStayText) {
  for (const auto& value : kHostile) {
    SCOPED_TRACE(value);
    ASSERT_EQ(SQLITE_OK, db.Execute(InsertTranslationStatement(kMainWord, value, value, 1)));
    int found = db.QueryRows(BuildSearchStatement(kMainWord, SearchFor(value)), nullptr);
    EXPECT_EQ(1, found);
    EXPECT_TRUE(SetHot(db, kMainWord, {value}, "8", boxes).ok());
    EXPECT_TRUE(MarkKnown(db, kMainWord, {value}).ok());
    EXPECT_TRUE(AddToRecitationList(db, {{value, "", value, "", Gbk("会"), "8"}}, boxes, nullptr).ok());
    EXPECT_TRUE(DeleteWords(db, kMainWord, {value}, boxes).ok());
    EXPECT_EQ(0, db.QueryRows(BuildSearchStatement(kMainWord, SearchFor(value)), nullptr));
    ExpectMainWordIntact();
  }
  for (const auto& box : boxes.shown) EXPECT_NE("语法错误，请检查", box.text);
  EXPECT_EQ(std::size(kHostile), testing::ReadBank(path, kMainRemember).size());
}

TEST_F(HostileInput, UnacceptableBankNamesAreRefusedAndNothingIsCreated) {
  const std::string refused[] = {"", "   ", std::string(56, 'a'), [] {
                                   std::string name;  // 28 Chinese characters: 56 bytes
                                   for (int i = 0; i < 28; ++i) name += Gbk("词");
                                   return name;
                                 }()};
  for (const auto& name : refused) {
    boxes.shown.clear();
    EXPECT_EQ(StatusCode::kRefused, CreateBank(db, name, boxes).code());
    ASSERT_EQ(1u, boxes.shown.size());
    EXPECT_EQ(BoxKind::Application, boxes.shown[0].kind);
  }
  EXPECT_EQ((std::vector<std::string>{kMainRemember, kMainWord}), testing::TableNames(path));
  EXPECT_TRUE(CreateBank(db, std::string(55, 'a'), boxes).ok());
}

class BankOperations : public HostileInput {};

TEST_F(BankOperations, DropRefusalsComeInOrder) {
  testing::CreateBanks(db, {"my_main_word2", "novel"});
  struct Case {
    const char* bank;
    const char* current;
    const char* message;
    bool dropped;
  };
  const Case cases[] = {
      {"main_word", "main_word", "不能删除正在使用的表", false},
      {"novel", "novel", "不能删除正在使用的表", false},
      {"main_word", "novel", "main_word为系统默认词库，不能删除", false},
      {"my_main_word2", "main_word", "main_word为系统默认词库，不能删除", false},
      {"novel", "main_word", "删除成功", true},
  };
  for (const auto& c : cases) {
    boxes.shown.clear();
    EXPECT_EQ(c.dropped, DropBank(db, c.bank, c.current, boxes).ok()) << c.bank;
    ASSERT_EQ(1u, boxes.shown.size());
    EXPECT_EQ(c.message, boxes.shown[0].text);
    // A refusal has nothing to choose: OK only.
    EXPECT_EQ(c.dropped ? BoxKind::Application : BoxKind::Plain, boxes.shown[0].kind);
  }
  EXPECT_EQ((std::vector<std::string>{kMainRemember, kMainWord, "my_main_word2"}), testing::TableNames(path));
}

TEST_F(BankOperations, SetHotRefusesNothingToSetOnceAndAppliesAValue) {
  testing::PutWord(db, kMainWord, "alpha", "", 1);
  testing::PutWord(db, kMainWord, "beta", "", 1);
  for (const char* text : {"", "0", "abc"}) {
    boxes.shown.clear();
    EXPECT_EQ(StatusCode::kRefused, SetHot(db, kMainWord, {"alpha", "beta"}, text, boxes).code());
    EXPECT_EQ(std::vector<std::string>{"请输入要修改的热度值!"}, boxes.Texts());
  }
  EXPECT_EQ("1", testing::ReadBank(path, kMainWord)[0].hot);
  EXPECT_TRUE(SetHot(db, kMainWord, {"alpha", "beta"}, "42x", boxes).ok());
  auto rows = testing::ReadBank(path, kMainWord);
  EXPECT_EQ("42", rows[0].hot);
  EXPECT_EQ("42", rows[1].hot);
  EXPECT_EQ("5", rows[2].hot);  // keep: not a target
}

TEST_F(BankOperations, MarkKnownAndDeleteTouchOnlyTheirWords) {
  testing::PutWord(db, kMainWord, "alpha", "", 1);
  testing::PutWord(db, kMainWord, "beta", "", 1);
  EXPECT_TRUE(MarkKnown(db, kMainWord, {"alpha"}).ok());
  EXPECT_TRUE(DeleteWords(db, kMainWord, {"beta", "not-there"}, boxes).ok());
  EXPECT_EQ(std::vector<std::string>{"更新完毕，请刷新"}, boxes.Texts());
  auto rows = testing::ReadBank(path, kMainWord);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ("alpha", rows[0].value);
  EXPECT_EQ("1", rows[0].known);
  EXPECT_EQ("keep", rows[1].value);
  EXPECT_EQ("0", rows[1].known);
}

TEST_F(BankOperations, RecitationListStopsAtTheFirstFailedRowAndKeepsTheOnesBefore) {
  testing::PutWord(db, kMainRemember, "second", "", 1);
  int notified = 0;
  std::vector<RecitationCells> rows = {{"first", "", "t1", "", Gbk("不会"), "7"},
                                       {"second", "", "t2", "", Gbk("会"), "3"},
                                       {"third", "", "t3", "", Gbk("会"), "1"}};
  EXPECT_EQ(StatusCode::kRefused, AddToRecitationList(db, rows, boxes, [&] { ++notified; }).code());
  EXPECT_EQ(0, notified);
  EXPECT_EQ(std::vector<std::string>{"添加失败，词库中没有背诵列表。\n请在添加单词中添加新词库:main_remember"},
            boxes.Texts());
  auto stored = testing::ReadBank(path, kMainRemember);
  ASSERT_EQ(2u, stored.size());
  EXPECT_EQ("first", stored[0].value);
  EXPECT_EQ("0", stored[0].known);
  EXPECT_EQ("7", stored[0].hot);
  // The batch was committed: a second connection sees the row.
  boxes.shown.clear();
  EXPECT_TRUE(AddToRecitationList(db, {rows[2]}, boxes, [&] { ++notified; }).ok());
  EXPECT_EQ(1, notified);
  EXPECT_EQ(std::vector<std::string>{"成功添加到背诵列表"}, boxes.Texts());
}

TEST_F(BankOperations, ListBanksLeavesOutTheRecitationListAndTheFilesOwnTables) {
  testing::CreateBanks(db, {"novel"});
  ASSERT_EQ(SQLITE_OK,
            db.Execute("create table review_card (x); create table Known_Log (x); "
                       "create table review_later (x); create table t (id integer primary key autoincrement)"));
  EXPECT_EQ((std::vector<std::string>{kMainWord, "novel", "t"}), ListBanks(db));
}

// Names of the file's own tables are refused in any letter case; names of
// banks that exist are found as the file finds them, in any letter case.
TEST_F(BankOperations, BankNamesTheFileKeepsForItselfAreRefusedAndExistingOnesFound) {
  struct Row {
    std::string name;
    BankNameProblem problem;
    bool exists;
  };
  const Row rows[] = {
      {"review_card", BankNameProblem::kReserved, false},
      {"REVIEW_LOG", BankNameProblem::kReserved, false},
      {"Review_anything", BankNameProblem::kReserved, false},
      {"known_log", BankNameProblem::kReserved, false},
      {"KNOWN_LOG", BankNameProblem::kReserved, false},
      {"sqlite_master", BankNameProblem::kReserved, false},
      {"SQLite_stat1", BankNameProblem::kReserved, false},
      {"reviews", BankNameProblem::kNone, false},
      {"my_review_card", BankNameProblem::kNone, false},
      {"known_logs", BankNameProblem::kNone, false},
      {"main_word", BankNameProblem::kNone, true},
      {"Main_Word", BankNameProblem::kNone, true},
      {"MAIN_REMEMBER", BankNameProblem::kNone, true},
      {Gbk("英语词库"), BankNameProblem::kNone, false},
      {" ", BankNameProblem::kBlankOrLong, false},
      {std::string(56, 'x'), BankNameProblem::kBlankOrLong, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.problem, CheckBankName(row.name));
    EXPECT_EQ(row.exists, BankExists(db, row.name));
    if (row.problem == BankNameProblem::kNone) continue;
    boxes.shown.clear();
    EXPECT_EQ(StatusCode::kRefused, CreateBank(db, row.name, boxes).code());
    ASSERT_EQ(1u, boxes.shown.size());
  }
  EXPECT_EQ((std::vector<std::string>{kMainRemember, kMainWord}), testing::TableNames(path));
  // A bank that exists is not made again: the file says so, nothing else.
  EXPECT_EQ(StatusCode::kRejected, CreateBank(db, "Main_Word", boxes).code());
}

}  // namespace
}  // namespace quorvo
