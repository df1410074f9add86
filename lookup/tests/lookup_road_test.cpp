// The add-words road end to end: ConvertWords counts a text, the pool's
// workers fetch every word's page from a loopback dictionary and store the
// translations in a real word database file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "base/code_page.h"
#include "lexicon/example_sentences.h"
#include "lookup/convert_words.h"
#include "lookup/dictionary_host.h"
#include "lookup/task_pool.h"
#include "lookup/translation_store.h"
#include "lookup/translation_task.h"
#include "testing/loopback_dictionary.h"
#include "testing/recording_boxes.h"
#include "testing/scoped_dictionary_host.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/texts.h"
#include "wordstore/word_sentences.h"

namespace quorvo {
namespace {

using testing::LoopbackDictionary;

using testing::ScopedDictionaryHost;

TEST(DictionaryHostTest, EnvironmentOverridesTheBuildSetting) {
  {
    ScopedDictionaryHost host("mirror.example:8080");
    EXPECT_EQ("mirror.example:8080", DictionaryHost());
  }
  {
    ScopedDictionaryHost host("");
    EXPECT_EQ(QUORVO_DICT_HOST_DEFAULT, DictionaryHost());
  }
  unsetenv(kDictionaryHostVariable);
  EXPECT_EQ(QUORVO_DICT_HOST_DEFAULT, DictionaryHost());
}

TEST(TranslationTaskTest, MakeCutsTheWordAndRefusesABankThatDoesNotFit) {
  std::unique_ptr<TranslationTask> task(MakeTranslationTask(std::string(200, 'w'), 3, nullptr, std::string(255, 'b')));
  ASSERT_TRUE(task);
  EXPECT_EQ(std::string(127, 'w'), task->word);
  EXPECT_EQ(std::string(255, 'b'), task->bank);
  EXPECT_EQ(3, task->hot);
  EXPECT_EQ(nullptr, MakeTranslationTask("word", 1, nullptr, std::string(256, 'b')));
}

TEST(TranslationTaskTest, LookupUrlEncodesWhatWouldBreakTheRequestLine) {
  EXPECT_EQ("h:1/m/search?vendor=%24vendor&keyfrom=dict.mresult&q=run", LookupUrl("h:1", "run"));
  EXPECT_EQ("h/m/search?vendor=%24vendor&keyfrom=dict.mresult&q=a%20b%0D%0AX%3A%20y%26q%3D%C5%DC",
            LookupUrl("h", "a b\r\nX: y&q=" + Gbk("跑")));
  EXPECT_EQ(511u, LookupUrl(std::string(511 - 50 - 127, 'h'), std::string(127, 'w')).size());
  EXPECT_EQ("", LookupUrl(std::string(512 - 50 - 127, 'h'), std::string(127, 'w')));
}

// (value, trans, known, hot) of a row.
using Row = std::tuple<std::string, std::string, std::string, std::string>;
using Rows = std::vector<Row>;

Rows ReadRows(const std::string& path, const std::string& bank) {
  Rows rows;
  for (const auto& w : testing::ReadBank(path, bank)) rows.emplace_back(w.value, w.trans, w.known, w.hot);
  return rows;
}

// The translation a lookup stores for a dictionary entry, in GBK.
std::string Stored(const std::optional<LoopbackDictionary::Parts>& parts) {
  if (!parts) return kNotFoundTranslation;
  std::string text;
  for (const auto& [head, body] : *parts) text += head + " " + body + "\n";
  return Gbk(text);
}

class LookupRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(path));
    testing::CreateBanks(db, {"main_word"});
  }
  Rows Bank(const std::string& bank) { return ReadRows(path, bank); }
  static Row Expected(const std::string& word, int hot, int known = 0) {
    return {word, Stored(Entry(word)), std::to_string(known), std::to_string(hot)};
  }
  static std::optional<LoopbackDictionary::Parts> Entry(const std::string& word) {
    static const std::map<std::string, LoopbackDictionary::Parts> known = {
        {"fox", {{"n.", "狐狸"}}},
        {"dog", {{"n.", "狗"}, {"v.", "跟踪"}}},
        {"quick", {{"adj.", "快的；迅速的"}}},
        {"going", {{"n.", "离去"}}},
    };
    auto it = known.find(word);
    if (it == known.end()) return std::nullopt;
    return it->second;
  }

  testing::TempDir dir;
  std::string path = dir.File("dict_main.db");
  WordDatabase db;
  LoopbackDictionary dictionary{Entry};
  ScopedDictionaryHost host{dictionary.HostPort()};
  testing::RecordingBoxes boxes;
  TaskPool pool;  // last: shut down before everything it uses goes
};

TEST_F(LookupRoadTest, LookupWordTaskSendsTheRequestAndStoresTheTranslation) {
  LookupWordTask(MakeTranslationTask("dog", 6, &db, "main_word"));
  LookupWordTask(MakeTranslationTask("cat", 2, &db, "main_word"));
  LookupWordTask(MakeTranslationTask("", 2, &db, "main_word"));  // released, nothing asked
  LookupWordTask(nullptr);
  EXPECT_EQ((Rows{Expected("cat", 2), Expected("dog", 6)}), Bank("main_word"));
  auto heads = dictionary.RequestHeads();
  ASSERT_EQ(2u, heads.size());
  EXPECT_EQ("GET /m/search?vendor=%24vendor&keyfrom=dict.mresult&q=dog HTTP/1.1\r\nHOST: " + dictionary.HostPort() +
                "\r\nAccept: */*\r\nUser-Agent: Mozilla/4.0(compatible)\r\nConnection: close\r\n\r\n",
            heads[0]);
}

TEST_F(LookupRoadTest, WordWhoseDictionaryIsGoneKeepsItsTranslationAndANewOneGetsTheNotFoundText) {
  testing::PutWord(db, "main_word", "fox", "狐狸", 5);
  dictionary.Stop();
  LookupWordTask(MakeTranslationTask("fox", 1, &db, "main_word"));
  LookupWordTask(MakeTranslationTask("owl", 3, &db, "main_word"));
  EXPECT_EQ((Rows{{"fox", Gbk("狐狸"), "0", "5"}, {"owl", kNotFoundTranslation, "0", "3"}}), Bank("main_word"));
}

TEST_F(LookupRoadTest, TextAndFileFillANewBankWhileTheTestReadsIt) {
  dir.Write("book.txt", "Fox and dog,\r\nquick QUICK!\n");
  AddWordsRequest request;
  request.text = "The quick brown fox jumps over the lazy dog. The dog's bowl; " + Gbk("狗") + "dog";
  request.filePath = dir.File("book.txt");
  request.bankName = "animals";
  request.sources = SourceText | SourceFile;
  ConvertWords(request, db, "main_word", pool, boxes);

  const Rows expected = {Expected("and", 1),   Expected("bowl", 1),  Expected("brown", 1), Expected("dog", 3),
                         Expected("fox", 2),   Expected("jumps", 1), Expected("lazy", 1),  Expected("over", 1),
                         Expected("quick", 3), Expected("the", 3)};
  std::map<std::string, Row> byWord;
  for (const auto& row : expected) byWord[std::get<0>(row)] = row;
  // Read the file while the workers write it: every row seen is complete.
  int reads = 0;
  while (dictionary.RequestCount() < static_cast<int>(expected.size()) || reads == 0) {
    for (const auto& row : Bank("animals")) {
      ASSERT_TRUE(byWord.count(std::get<0>(row))) << std::get<0>(row);
      EXPECT_EQ(byWord[std::get<0>(row)], row);
    }
    ++reads;
  }
  pool.Shutdown();
  EXPECT_EQ(expected, Bank("animals"));
  EXPECT_TRUE(Bank("main_word").empty());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LookupRoadTest, TypedTextAndTheSameFileDoubleTheCountsAndKnownWordsKeepTheirHot) {
  testing::PutWord(db, "main_word", "stop", "停", 99, 1);
  const std::string text = "stop going, going GONE";
  dir.Write("same.txt", text);
  AddWordsRequest request;
  request.text = text;
  request.filePath = dir.File("same.txt");
  request.sources = SourceText | SourceFile;
  ConvertWords(request, db, "main_word", pool, boxes);
  pool.Shutdown();
  // "stop" is not in the dictionary: the translation it had stays.
  EXPECT_EQ((Rows{Expected("going", 4), Expected("gone", 2), {"stop", Gbk("停"), "1", "99"}}), Bank("main_word"));
}

// The same text counted word by word and by family: off gives the counts
// the counter always gave; on sums the forms under their base, places
// contractions, and sends an ambiguous form to the more frequent family.
// Known is judged by family either way.
TEST_F(LookupRoadTest, FamiliesOnSumTheFormsAndOffKeepsEverySpelling) {
  Lexicon lexicon;
  ASSERT_TRUE(
      lexicon.LoadText("runs\trun\nran\trun\nrunning\trun,running\t3252\nleaves\tleave,leaf\n"
                       "goes\tgo\ndogs\tdog\n"));
  const std::string text = "He runs; she ran. Running is fun, runs don't stop. The leaves leave. Café's dogs' dog goes";
  testing::CreateBanks(db, {"old"});
  testing::PutWord(db, "old", "leave", "离开", 1, 1);
  struct Case {
    bool families;
    bool onlyUnknown;
    Rows expected;
    int distinct;
    int known;
  } cases[] = {
      {false,
       false,
       {Expected("dog", 1), Expected("fun", 1), Expected("goes", 1), Expected("leave", 1), Expected("leaves", 1),
        Expected("ran", 1), Expected("running", 1), Expected("runs", 2), Expected("she", 1), Expected("stop", 1),
        Expected("the", 1)},
       11,
       2},
      {false,
       true,
       {Expected("dog", 1), Expected("fun", 1), Expected("goes", 1), Expected("ran", 1), Expected("running", 1),
        Expected("runs", 2), Expected("she", 1), Expected("stop", 1), Expected("the", 1)},
       11,
       2},
      {true,
       false,
       {Expected("do", 1), Expected("dog", 2), Expected("fun", 1), Expected("go", 1), Expected("leave", 2),
        Expected("run", 4), Expected("she", 1), Expected("stop", 1), Expected("the", 1)},
       9,
       1},
      {true,
       true,
       {Expected("do", 1), Expected("dog", 2), Expected("fun", 1), Expected("go", 1), Expected("run", 4),
        Expected("she", 1), Expected("stop", 1), Expected("the", 1)},
       9,
       1},
  };
  int n = 0;
  for (const auto& c : cases) {
    AddWordsRequest request;
    request.text = Gbk(text);
    request.bankName = "case" + std::to_string(n++);
    request.sources = SourceText;
    request.families = c.families;
    request.onlyUnknown = c.onlyUnknown;
    ConvertOptions options;
    options.lexicon = &lexicon;
    ConvertSummary summary = ConvertWords(request, db, "main_word", pool, boxes, options);
    while (!summary.run->Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(c.expected, Bank(request.bankName)) << request.bankName;
    EXPECT_EQ(c.distinct, summary.distinct) << request.bankName;
    EXPECT_EQ(c.known, summary.known) << request.bankName;
    // The forms seen, kept with the bank for the tooltips; the ambiguous
    // leaves is listed under leaf as well.
    std::map<std::string, std::string> forms;
    for (const auto& [word, list] : LoadWordForms(db, request.bankName)) forms[word] = FormsText(list);
    const std::map<std::string, std::string> expectedForms = {
        {"do", "don't 1"},     {"dog", "dogs 1"},
        {"go", "goes 1"},      {"leaf", "leaves 1（计入 leave）"},
        {"leave", "leaves 1"}, {"run", "runs 2、ran 1、running 1"}};
    if (c.families)
      EXPECT_EQ(expectedForms, forms) << request.bankName;
    else
      EXPECT_TRUE(forms.empty()) << request.bankName;
  }
}

// A queued word the text gave no sentence gets its bundled example, unless
// the bank has a sentence of it; the examples are not even asked for when
// the run keeps no sentences.
TEST_F(LookupRoadTest, WordsWithoutASentenceGetTheBundledExample) {
  ExampleSentences examples;
  ASSERT_TRUE(examples.LoadText("fox\tA fox hunts.\ndog\tThe dog barked.\nowl\tAn owl flew.\n"));
  using Kept = std::vector<std::tuple<std::string, std::string, bool>>;
  const struct {
    bool keepSentences;
    int asked;  // times the examples were asked for
    std::map<std::string, Kept> kept;
  } cases[] = {
      {true,
       1,
       {{"fox", {{"The quick fox jumps.", Gbk("输入的文本"), false}}},
        {"dog", {{"The dog barked.", "WordNet 3.0", true}}},
        {"owl", {{"An owl hooted.", "old.txt", false}}},
        {"quick", {{"The quick fox jumps.", Gbk("输入的文本"), false}}},
        {"cat", {}}}},
      {false, 0, {{"fox", {}}, {"dog", {}}, {"owl", {{"An owl hooted.", "old.txt", false}}}}},
  };
  int n = 0;
  for (const auto& c : cases) {
    AddWordsRequest request;
    request.text = "The quick fox jumps.\n\ndog\nowl\ncat\n";  // a bare word's line is no sentence
    request.bankName = "case" + std::to_string(n++);
    request.sources = SourceText;
    ASSERT_TRUE(AddSentence(db, request.bankName, "owl", {"An owl hooted.", "old.txt", false}).ok());
    int asked = 0;
    ConvertOptions options;
    options.keepSentences = c.keepSentences;
    options.examples = [&] {
      ++asked;
      return &examples;
    };
    ConvertSummary summary = ConvertWords(request, db, "main_word", pool, boxes, options);
    while (!summary.run->Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(summary.sentences.ok()) << summary.sentences.message();
    EXPECT_EQ(c.asked, asked) << request.bankName;
    for (const auto& [word, expected] : c.kept) {
      Kept stored;
      for (const KeptSentence& s : SentencesOf(db, request.bankName, word))
        stored.emplace_back(s.text, s.source, s.bundled);
      EXPECT_EQ(expected, stored) << request.bankName << " " << word;
    }
  }
}

TEST_F(LookupRoadTest, ABankNameAloneMakesAnEmptyBankAndQueuesNothing) {
  AddWordsRequest request;
  request.text = "words that are not read";
  request.bankName = "empty_bank";
  ConvertWords(request, db, "main_word", pool, boxes);
  pool.Shutdown();
  EXPECT_EQ((std::vector<std::string>{"empty_bank", "main_word"}), testing::TableNames(path));
  EXPECT_TRUE(Bank("empty_bank").empty());
  EXPECT_EQ(0, dictionary.RequestCount());
}

TEST_F(LookupRoadTest, AnExistingBankNameFillsThatBank) {
  AddWordsRequest request;
  request.text = "fox";
  request.bankName = "main_word";
  request.sources = SourceText;
  ::testing::internal::CaptureStdout();
  ConvertWords(request, db, "other", pool, boxes);
  EXPECT_EQ(std::string(texts::kCreateTableFailed) + "\n", ::testing::internal::GetCapturedStdout());
  pool.Shutdown();
  EXPECT_EQ((Rows{Expected("fox", 1)}), Bank("main_word"));
}

TEST_F(LookupRoadTest, AnUnacceptableBankNameIsRefusedBeforeAnythingIsQueued) {
  for (const std::string& name : {std::string(56, 'b'), std::string(300, 'b'), std::string("   ")}) {
    AddWordsRequest request;
    request.text = "these words go nowhere";
    request.bankName = name;
    request.sources = SourceText;
    ConvertWords(request, db, "main_word", pool, boxes);
  }
  pool.Shutdown();
  EXPECT_EQ((std::vector<std::string>(3, texts::kBadBankName)), boxes.Texts());
  EXPECT_EQ((std::vector<std::string>{"main_word"}), testing::TableNames(path));
  EXPECT_TRUE(Bank("main_word").empty());
  EXPECT_EQ(0, dictionary.RequestCount());
}

// "w" followed by the number as three base-26 digits written in letters.
std::string LetterWord(int n) {
  std::string word = "w";
  for (int digit = 0; digit < 3; ++digit, n /= 26) word += static_cast<char>('a' + n % 26);
  return word;
}

TEST(LookupRoadScaleTest, TenThousandWordsAreStoredOnceWithTheirCounts) {
  constexpr int kWords = 10000;
  std::map<std::string, int> counts;
  std::string text;
  for (int pass = 0; pass < 5; ++pass)
    for (int i = 0; i < kWords; ++i)
      if (i % 5 >= pass) {
        text += LetterWord(i) + (i % 3 ? " " : ".\n");
        ++counts[LetterWord(i)];
      }
  ASSERT_EQ(static_cast<size_t>(kWords), counts.size());

  LoopbackDictionary dictionary([](const std::string& word) -> std::optional<LoopbackDictionary::Parts> {
    return LoopbackDictionary::Parts{{"n.", "词" + word}};
  });
  ScopedDictionaryHost host(dictionary.HostPort());
  testing::TempDir dir;
  WordDatabase db;
  ASSERT_TRUE(db.Open(dir.File("dict_main.db")));
  testing::CreateBanks(db, {"main_word"});
  testing::RecordingBoxes boxes;
  {
    TaskPool pool;
    AddWordsRequest request;
    request.text = text;
    request.bankName = "book";
    request.sources = SourceText;
    ConvertWords(request, db, "main_word", pool, boxes);
    pool.Shutdown();
  }
  Rows rows = ReadRows(dir.File("dict_main.db"), "book");
  ASSERT_EQ(static_cast<size_t>(kWords), rows.size());
  auto expected = counts.begin();
  for (const auto& [value, trans, known, hot] : rows) {
    ASSERT_EQ(expected->first, value);
    EXPECT_EQ(std::to_string(expected->second), hot) << value;
    EXPECT_EQ(Gbk("n. 词" + value + "\n"), trans) << value;
    ++expected;
  }
  auto requested = dictionary.RequestedWords();
  EXPECT_EQ(static_cast<size_t>(kWords), requested.size());
  for (const auto& [word, times] : requested) EXPECT_EQ(1, times) << word;
}

}  // namespace
}  // namespace quorvo
