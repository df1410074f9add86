#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "base/code_page.h"
#include "lookup/page_fetch.h"
#include "lookup/translation_extract.h"
#include "lookup/translation_store.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"

namespace quorvo {
namespace {

const std::string S(kStartMarker);
const std::string E(kEndMarker);

std::string Extract(std::string_view page, bool* cut = nullptr) {
  std::string out = "left over";
  bool result = ExtractTranslation(page, &out);
  if (cut) *cut = result;
  return out;
}

TEST(ExtractTranslationTest, WorkedExample) {
  bool cut = false;
  EXPECT_EQ("n. to run\n", Extract("<li><span class=\"blue12other\">n.<span>  to   run<br/></li></ul>" + E, &cut));
  EXPECT_TRUE(cut);
}

TEST(ExtractTranslationTest, Rules) {
  struct Case {
    const char* name;
    std::string page;
    std::string expected;
    bool cut;
  } cases[] = {
      {"parts follow each other, a line feed only after <b", S + "n.<span> a  run<br>" + S + "v.<span>  to go<i>x" + E,
       "n. a run\nv. to go", true},
      {"a line break ends the body and drops the rest up to <", S + "a.<span>  one two\r\nthree four<br>" + E,
       "a. one two\n", true},
      {"a bare line feed does the same", S + "x.<span> one\nfour<b" + E, "x. one\n", true},
      {"tabs are kept as they are", S + "v.<span>\t\t x  y<i>" + E, "v.\t\t x y", true},
      {"a body may start without a blank", S + "adj.<span>quick<br>" + E, "adj.quick\n", true},
      {"an empty head", S + "<span> x<b" + E, " x\n", true},
      {"UTF-8 text passes unchanged", S + "n.<span>  跑步  <br>" + E, "n. 跑步 \n", true},
      {"a start marker after the end marker adds nothing", S + "a.<span> b<br>" + E + S + "c.<span> d<br>", "a. b\n",
       true},
      {"no end marker, no translation", S + "a.<span> b<br>", "", false},
      {"only a start marker after the end marker", E + S + "a.<span> b<br>", "", false},
      {"no start marker", "<p>nothing here</p>" + E, "", false},
      {"a NUL byte ends the page", S + "n.<span> a" + std::string(1, '\0') + "<b" + E, "", false},
      {"an empty page", "", "", false},
  };
  for (const auto& c : cases) {
    bool cut = !c.cut;
    EXPECT_EQ(c.expected, Extract(c.page, &cut)) << c.name;
    EXPECT_EQ(c.cut, cut) << c.name;
  }
}

TEST(ExtractTranslationTest, NeverReadsPastTheEndOfThePage) {
  // Each page is followed in memory by text that would change the result if
  // the extraction read beyond the page.
  struct Case {
    const char* name;
    std::string page;
    std::string beyond;
    std::string expected;
  } cases[] = {
      {"ends inside a head", S + "n. never closed " + E, "<span> leaked<b", "n. never closed " + E},
      {"ends inside the six skipped characters", S + "n." + E + "<sp", "an> leaked<b", "n." + E},
      {"ends inside a body", S + "n.<span> body " + E, "more<b", "n. body " + E},
      {"ends right after the < of a body", S + "n.<span> body" + E + "<", "b", "n. body" + E},
      {"ends while a line break is skipped", S + "n.<span> a\r\n" + E, "<b", "n. a"},
  };
  for (const auto& c : cases) {
    std::string memory = c.page + c.beyond;
    EXPECT_EQ(c.expected, Extract(std::string_view(memory).substr(0, c.page.size()))) << c.name;
  }
}

TEST(ExtractTranslationTest, OutputStopsAt1023Characters) {
  std::string page, unbounded;
  for (int i = 0; i < 100; ++i) {
    page += S + "w" + std::to_string(i) + "<span> meaning<br>";
    unbounded += "w" + std::to_string(i) + " meaning\n";
  }
  page += E;
  std::string out = Extract(page);
  ASSERT_EQ(kMaxTranslationChars, out.size());
  EXPECT_EQ(unbounded.substr(0, kMaxTranslationChars), out);
}

using Row = std::tuple<std::string, std::string, std::string, std::string>;
using Rows = std::vector<Row>;

class StoreTranslationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(path));
    testing::CreateBanks(db, {"main_word", "odd'bank name"});
  }
  // (value, trans, known, hot) of every row, ordered by value.
  Rows Bank(const std::string& bank = "main_word") {
    Rows rows;
    for (const auto& w : testing::ReadBank(path, bank)) rows.emplace_back(w.value, w.trans, w.known, w.hot);
    return rows;
  }

  testing::TempDir dir;
  std::string path = dir.File("dict_main.db");
  WordDatabase db;
};

TEST_F(StoreTranslationTest, UpdatesAWordItHasAndInsertsOneItLacks) {
  testing::PutWord(db, "main_word", "run", "旧的", 7, 1);
  EXPECT_EQ(1, StoreTranslation(&db, "run", "main_word", Gbk("跑"), 3));
  EXPECT_EQ(1, StoreTranslation(&db, "walk", "main_word", Gbk("走"), 3));
  EXPECT_EQ((Rows{{"run", Gbk("跑"), "1", "7"}, {"walk", Gbk("走"), "0", "3"}}), Bank());
}

TEST_F(StoreTranslationTest, RefusesWhatDoesNotFit) {
  WordDatabase closed;
  struct Case {
    const char* name;
    WordDatabase* connection;
    std::string word;
    std::string translation;
    int expected;
  } cases[] = {
      {"1023 characters together fit", &db, "w", std::string(1022, 'x'), 1},
      {"1024 characters together do not", &db, "ww", std::string(1022, 'x'), 0},
      {"quotes doubled past 1151 characters", &db, "quote", std::string(600, '\''), 0},
      {"an empty word", &db, "", "x", 0},
      {"no connection", nullptr, "none", "x", 0},
      {"a closed connection", &closed, "closed", "x", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, StoreTranslation(c.connection, c.word, "main_word", c.translation, 1)) << c.name;
  EXPECT_EQ((Rows{{"w", std::string(1022, 'x'), "0", "1"}}), Bank());
}

TEST_F(StoreTranslationTest, TextFromThePageNeverBecomesAStatement) {
  testing::PutWord(db, "main_word", "it's", "old", 4);
  const std::string page = "<p>" + S + "'); drop table main_word; --<span> x\"y<b>" + E;
  const std::string stored = "'); drop table main_word; -- x\"y\n";
  StoreResult result;
  ASSERT_TRUE(StoreLookup(&db, "o'clock", "main_word", 5, page, false, &result).ok());
  ASSERT_TRUE(StoreLookup(&db, "it's", "main_word", 9, page, false, &result).ok());
  ASSERT_TRUE(StoreLookup(&db, "o'clock", "odd'bank name", 2, page, false, &result).ok());
  EXPECT_EQ((std::vector<std::string>{"main_word", "odd'bank name"}), testing::TableNames(path));
  EXPECT_EQ((Rows{{"it's", stored, "0", "4"}, {"o'clock", stored, "0", "5"}}), Bank());
  EXPECT_EQ((Rows{{"o'clock", stored, "0", "2"}}), Bank("odd'bank name"));
}

TEST_F(StoreTranslationTest, PagesWithoutATranslationStoreTheNotFoundText) {
  const std::string pages[] = {"", "<html>no markers</html>", S + "a.<span> b<br>", E + S + "a.<span> b<br>"};
  int hot = 1;
  StoreResult result;
  for (const auto& page : pages) {
    ASSERT_TRUE(StoreLookup(&db, "word" + std::to_string(hot), "main_word", hot, page, false, &result).ok());
    ++hot;
  }
  // A word that has a translation keeps it: a page without one says
  // nothing about the word.
  testing::PutWord(db, "main_word", "good", "好", 8);
  ASSERT_TRUE(StoreLookup(&db, "good", "main_word", 1, "", false, &result).ok());
  Rows rows = Bank();
  ASSERT_EQ(5u, rows.size());
  EXPECT_EQ((Row{"good", Gbk("好"), "0", "8"}), rows[0]);
  for (size_t i = 1; i < rows.size(); ++i)
    EXPECT_EQ(kNotFoundTranslation, std::get<1>(rows[i])) << std::get<0>(rows[i]);
}

TEST_F(StoreTranslationTest, Utf8TranslationIsStoredAsGbkWithReplacements) {
  StoreResult result;
  ASSERT_TRUE(StoreLookup(&db, "run", "main_word", 1, S + "n.<span>  跑步😀\xff ok<br>" + E, false, &result).ok());
  // The emoji is kept as its four GB18030 bytes; the stray byte becomes "?".
  EXPECT_EQ((Rows{{"run",
                   Gbk("n. 跑步") + "\x94\x39\xFC\x36"
                                    "? ok\n",
                   "0", "1"}}),
            Bank());
}

TEST_F(StoreTranslationTest, ConcurrentStoresNeitherSkipNorDoubleAWord) {
  // One thread keeps updating words the bank has (each update changes a
  // row) while three insert new ones. A new word's update changes nothing;
  // were its count read after another thread's update, it would be skipped.
  // The four threads announce their stores, as queued lookups do, so the
  // stores share commits; the last to end commits what is left.
  for (int i = 0; i < 50; ++i) testing::PutWord(db, "main_word", "old" + std::to_string(i), "x", 1000 + i);
  std::atomic<bool> insertersDone{false};
  for (int t = 0; t < 4; ++t) db.ExpectGroupWrite();
  std::thread updater([&] {
    // At least one whole pass, however soon the inserters end.
    do {
      for (int i = 0; i < 50; ++i) StoreTranslation(&db, "old" + std::to_string(i), "main_word", "updated", 1);
    } while (!insertersDone.load());
    db.GroupWriteDone();
  });
  std::vector<std::thread> inserters;
  for (int t = 0; t < 3; ++t)
    inserters.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i)
        StoreTranslation(&db, "new" + std::to_string(t) + "_" + std::to_string(i), "main_word", "fresh", t + 1);
      db.GroupWriteDone();
    });
  for (auto& thread : inserters) thread.join();
  insertersDone.store(true);
  updater.join();
  Rows rows = Bank();
  ASSERT_EQ(650u, rows.size());
  for (const auto& [value, trans, known, hot] : rows) {
    if (value.rfind("old", 0) == 0) {
      EXPECT_EQ("updated", trans);
      EXPECT_EQ(std::to_string(1000 + std::stoi(value.substr(3))), hot);
    } else {
      EXPECT_EQ("fresh", trans);
      EXPECT_EQ(std::string(1, value[3] + 1), hot) << value;
    }
  }
}

}  // namespace
}  // namespace quorvo
