// 导入考试词表: a bank from an exam's list, filled from the bundled
// dictionary's data in memory.
#include "lookup/exam_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/code_page.h"
#include "lexicon/example_sentences.h"
#include "lookup/translation_store.h"
#include "testing/recording_boxes.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_sentences.h"

namespace quorvo {
namespace {

TEST(ExamImportTest, MakesTheExamsBankOnceWithTranslationsAndPhonetics) {
  Lexicon lexicon;
  ASSERT_TRUE(lexicon.LoadText("apple\t\t0\tcet4,zk\nbanana\t\t0\tcet4\nqzxw\t\t0\tcet4\npear\t\t0\tzk\n"));
  dictd::Dictionary dictionary;
  ASSERT_TRUE(dictionary.LoadText("apple\t/ˈæp.əl/\tn. 苹果\nbanana\tn. 香蕉；芭蕉\npear\tn. 梨\n"));
  testing::TempDir dir;
  WordDatabase db;
  ASSERT_TRUE(db.Open(dir.File("dict_main.db")));
  testing::CreateBanks(db, {"main_word"});
  testing::RecordingBoxes boxes;
  ExamImport done;
  ExampleSentences examples;
  ASSERT_TRUE(examples.LoadText("apple\tAn apple a day.\npear\tA ripe pear.\n"));
  ASSERT_TRUE(ImportExamList(db, lexicon, dictionary, Exam::Cet4, boxes, &done, &examples).ok());
  EXPECT_EQ(3, done.words);
  EXPECT_EQ(2, done.translated);
  EXPECT_EQ("exam_cet4", ExamBankName(Exam::Cet4));
  struct Row {
    std::string value, trans, phonetic, hot;
    bool operator==(const Row&) const = default;
  };
  auto rows = [&] {
    std::vector<Row> read;
    for (const auto& w : testing::ReadBank(dir.File("dict_main.db"), "exam_cet4"))
      read.push_back({w.value, Utf8(w.trans), Utf8(w.phonetic), w.hot});
    return read;
  };
  const std::vector<Row> expected = {{"apple", "n. 苹果", "/ˈæp.əl/", "1"},
                                     {"banana", "n. 香蕉；芭蕉", "", "1"},
                                     {"qzxw", kNotFoundTranslation, "", "1"}};
  EXPECT_EQ(expected, rows());
  EXPECT_TRUE(boxes.shown.empty());
  // The list's words that have a bundled example get it (pear is no CET-4 word).
  std::vector<KeptSentence> apple = SentencesOf(db, "exam_cet4", "apple");
  ASSERT_EQ(1u, apple.size());
  EXPECT_EQ("An apple a day.", apple[0].text);
  EXPECT_EQ("WordNet 3.0", apple[0].source);
  EXPECT_TRUE(apple[0].bundled);
  EXPECT_TRUE(SentencesOf(db, "exam_cet4", "banana").empty());
  EXPECT_TRUE(SentencesOf(db, "exam_cet4", "pear").empty());
  // A second import is refused and changes nothing.
  EXPECT_EQ(StatusCode::kRefused, ImportExamList(db, lexicon, dictionary, Exam::Cet4, boxes).code());
  EXPECT_EQ(std::vector<std::string>{"词库“exam_cet4”已经存在，没有再导入。要重新导入，请先删除这个词库。"},
            boxes.Texts());
  EXPECT_EQ(expected, rows());
}

// A file that cannot be written keeps nothing: not even the empty bank.
TEST(ExamImportTest, AReadOnlyFileKeepsNoHalfMadeBank) {
  Lexicon lexicon;
  ASSERT_TRUE(lexicon.LoadText("apple\t\t0\tgre\n"));
  dictd::Dictionary dictionary;
  ASSERT_TRUE(dictionary.LoadText("apple\tn. 苹果\n"));
  testing::TempDir dir;
  {
    WordDatabase db;
    ASSERT_TRUE(db.Open(dir.File("dict_main.db")));
    testing::CreateBanks(db, {"main_word"});
  }
  WordDatabase db;
  ASSERT_TRUE(db.OpenReadOnly(dir.File("dict_main.db")));
  testing::RecordingBoxes boxes;
  EXPECT_FALSE(ImportExamList(db, lexicon, dictionary, Exam::Gre, boxes).ok());
  EXPECT_FALSE(BankExists(db, "exam_gre"));
}

}  // namespace
}  // namespace quorvo
