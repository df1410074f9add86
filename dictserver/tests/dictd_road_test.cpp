// quorvo's own lookup road against a real quorvo-dictd: FetchDictionaryPage
// and ExtractTranslation on real words, then whole texts through
// ConvertWords, the task pool and the word database.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "dictserver/dictionary.h"
#include "dictserver/tests/dictd_process.h"
#include "lookup/convert_words.h"
#include "lookup/dictionary_host.h"
#include "lookup/page_fetch.h"
#include "lookup/task_pool.h"
#include "lookup/translation_extract.h"
#include "lookup/translation_store.h"
#include "lookup/translation_task.h"
#include "testing/recording_boxes.h"
#include "testing/scoped_dictionary_host.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/word_counter.h"

namespace quorvo {
namespace {

using dictd::testing::DictdProcess;

using testing::ScopedDictionaryHost;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// What quorvo's counter makes of a file: its distinct words and counts.
std::map<std::string, int> CountWords(const std::string& path) {
  std::map<std::string, int> counts;
  WordCounter counter;
  counter.ScanFile(path);
  counter.Drain([&counts](const WordCount& entry) { counts[entry.word] = entry.count; });
  return counts;
}

class DictdRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bundled_.Load(dictd::testing::BundledDataPath()));
    ASSERT_TRUE(dictd_.running());
  }

  // The translation quorvo stores for a word, in GBK.
  std::string Stored(const std::string& word) const {
    std::vector<dictd::DictPart> parts = bundled_.PartsFor(word);
    if (parts.empty()) return kNotFoundTranslation;
    return Gbk(dictd::TranslationText(parts));
  }

  std::string Host() const { return "127.0.0.1:" + std::to_string(dictd_.port()); }

  // Runs the text file through the add-words road into a new bank; returns
  // the bank's rows.
  std::vector<testing::StoredWord> AddFile(const std::string& textPath) {
    std::string path = dir_.File("dict_main.db");
    WordDatabase db;
    EXPECT_TRUE(db.Open(path));
    testing::CreateBanks(db, {"main_word"});
    testing::RecordingBoxes boxes;
    {
      ScopedDictionaryHost host(Host());
      TaskPool pool;
      AddWordsRequest request;
      request.filePath = textPath;
      request.bankName = "chapter";
      request.sources = SourceFile;
      ConvertWords(request, db, "main_word", pool, boxes);
      pool.Shutdown();
    }
    EXPECT_TRUE(boxes.shown.empty());
    return testing::ReadBank(path, "chapter");
  }

  // Every word is stored once with its count and exactly the translation
  // the service has for it; returns how many have a translation.
  size_t CheckBank(const std::vector<testing::StoredWord>& rows, const std::map<std::string, int>& counts) {
    EXPECT_EQ(rows.size(), counts.size());
    size_t translated = 0;
    auto expected = counts.begin();
    for (const testing::StoredWord& row : rows) {
      if (expected == counts.end()) break;
      EXPECT_EQ(row.value, expected->first);
      EXPECT_EQ(row.hot, std::to_string(expected->second)) << row.value;
      EXPECT_EQ(row.trans, Stored(row.value)) << row.value;
      if (row.trans != kNotFoundTranslation) ++translated;
      ++expected;
    }
    return translated;
  }

  quorvo::testing::TempDir dir_;
  dictd::Dictionary bundled_;
  DictdProcess dictd_{{"--quiet"}, dir_.File("log")};
};

TEST_F(DictdRoadTest, ProgramFetchesAndCutsRealWords) {
  const struct {
    const char* word;
    const char* startsWith;  // "" for a word the data does not know
  } cases[] = {
      {"apple", "n. 苹果"}, {"remember", "v. "}, {"jumped", "v. 跳"},  // inflected
      {"mice", "n. "},                                                 // irregular
      {"qzxv", ""},
  };
  for (const auto& c : cases) {
    char page[kPageBufferBytes];
    EXPECT_EQ(FetchDictionaryPage(LookupUrl(Host(), c.word), page), kFetchDone) << c.word;
    std::string translation;
    bool cut = ExtractTranslation(page, &translation);
    EXPECT_EQ(cut, *c.startsWith != '\0') << c.word;
    EXPECT_EQ(translation, dictd::TranslationText(bundled_.PartsFor(c.word))) << c.word;
    EXPECT_EQ(translation.rfind(c.startsWith, 0), 0u) << c.word << ": " << translation;
  }
}

// Five thousand words a learner meets most, as a text with capitals,
// punctuation, line breaks and words repeated: every word is stored with
// its count, nearly all with a translation.
TEST_F(DictdRoadTest, FrequentWordsTextFillsABank) {
  std::ifstream in(std::string(QUORVO_DICTSERVER_DIR) + "/data/english-top5000.txt");
  std::string text;
  std::string word;
  int n = 0;
  while (std::getline(in, word)) {
    if (word.empty() || word[0] == '#') continue;
    std::string shown = n % 7 == 0 ? std::string(1, static_cast<char>(word[0] & ~0x20)) + word.substr(1) : word;
    text += shown + (n % 11 == 0 ? ".\r\n" : n % 5 == 0 ? ", " : " ");
    if (n % 13 == 0) text += word + "! ";
    ++n;
  }
  ASSERT_EQ(n, 5000);
  dir_.Write("chapter.txt", text);
  std::map<std::string, int> counts = CountWords(dir_.File("chapter.txt"));
  ASSERT_EQ(counts.size(), 5000u);

  size_t translated = CheckBank(AddFile(dir_.File("chapter.txt")), counts);
  EXPECT_GE(translated * 100, counts.size() * 95) << translated;
  std::printf("frequent words: %zu of %zu stored with a translation\n", translated, counts.size());
}

// Real prose: the licence text shipped with the data. Legal English has
// its own words ("licensor", "sui generis"), so nine in ten is the bar here.
TEST_F(DictdRoadTest, ProseFillsABank) {
  dir_.Write("chapter.txt", ReadFile(std::string(QUORVO_DICTSERVER_DIR) + "/data/LICENSE-CC-BY-SA-4.0.txt"));
  std::map<std::string, int> counts = CountWords(dir_.File("chapter.txt"));
  ASSERT_GT(counts.size(), 400u);

  size_t translated = CheckBank(AddFile(dir_.File("chapter.txt")), counts);
  EXPECT_GE(translated * 100, counts.size() * 90) << translated << " of " << counts.size();
  std::printf("prose: %zu of %zu words stored with a translation\n", translated, counts.size());
}

}  // namespace
}  // namespace quorvo
