#include "wordstore/sentence_keeper.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "base/code_page.h"
#include "testing/recording_boxes.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_counter.h"
#include "wordstore/word_sentences.h"

namespace quorvo {
namespace {

std::vector<std::string> Split(const std::string& text, size_t chunk) {
  std::vector<std::string> got;
  SentenceSplitter splitter([&](std::string_view s) { got.emplace_back(s); });
  for (size_t i = 0; i < text.size(); i += chunk) splitter.Feed(std::string_view(text).substr(i, chunk));
  splitter.Finish();
  return got;
}

TEST(SentenceSplitter, CutsTextsIntoSentences) {
  // Thirty words of nine letters: 299 characters with their spaces.
  std::string thirty;
  for (int i = 0; i < 30; ++i) thirty += std::string(i ? " " : "") + "abcdefghi";
  std::string forty = thirty;
  for (int i = 0; i < 10; ++i) forty += " abcdefghi";
  std::string unpunctuated;
  for (int i = 0; i < 60; ++i) unpunctuated += "word list item ";
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {"titles",
       "Mr. Smith read the letter. He smiled at Dr. Watson.",
       {"Mr. Smith read the letter.", "He smiled at Dr. Watson."}},
      {"dotted abbreviations",
       "Use a tool, e.g. a hammer. Then stop it, i.e. now. The U.S. Army came.",
       {"Use a tool, e.g. a hammer.", "Then stop it, i.e. now.", "The U.S. Army came."}},
      {"decimals and initials",
       "It costs 3.14 dollars today. J. R. Smith paid 2.5 more!",
       {"It costs 3.14 dollars today.", "J. R. Smith paid 2.5 more!"}},
      {"closing quotes stay",
       "He said \"Stop.\" Then he left (quickly.) Was it \xE2\x80\x9Cover?\xE2\x80\x9D Yes it was.",
       {"He said \"Stop.\"", "Then he left (quickly.)", "Was it \xE2\x80\x9Cover?\xE2\x80\x9D", "Yes it was."}},
      {"a lower-case word goes on",
       "\"Stop!\" he said. Wait... what happened here? Nothing.",
       {"\"Stop!\" he said.", "Wait... what happened here?"}},
      {"line breaks and spaces collapse",
       "  She read the\nletter \t  twice.\r\nThen   slept well.\r\n",
       {"She read the letter twice.", "Then slept well."}},
      {"a blank line ends a sentence",
       "Chapter One begins\n\nIt was dark and cold.",
       {"Chapter One begins", "It was dark and cold."}},
      {"a word list", "apple\nbanana\ncherry\n", {}},
      {"a heading line", "Introduction\nThe rules are simple.", {"The rules are simple."}},
      {"a subtitle file",
       "1\n00:00:01,000 --> 00:00:02,500\nWhere are you going\n\n2\n00:00:03,000 --> 00:00:04,000\nHome, I think\n",
       {"Where are you going", "Home, I think"}},
      {"one word is no sentence", "Yes. No! Maybe? Go home now.", {"Go home now."}},
      {"apostrophes and hyphens", "It's a well-known fact. Don't cry.", {"It's a well-known fact.", "Don't cry."}},
      {"cut at a word boundary", forty + ".", {thirty}},
      {"300 characters are kept whole", thirty + ".", {thirty + "."}},
      {"no punctuation past the cut", unpunctuated, {}},
  };
  for (const Case& c : cases) {
    for (size_t chunk : {size_t{1}, size_t{7}, size_t{1023}}) {
      SCOPED_TRACE(std::string(c.what) + " in chunks of " + std::to_string(chunk));
      EXPECT_EQ(c.want, Split(c.text, chunk));
    }
  }
}

std::vector<std::string> Texts(const std::vector<const KeptSentence*>& kept) {
  std::vector<std::string> texts;
  for (const KeptSentence* s : kept) texts.push_back(s->text + " <" + s->source + ">");
  return texts;
}

// The keeper fed on its own, and fed by the word counter, which tells it
// each word as it counts it (and lower-cases the text in place meanwhile).
void FeedText(SentenceKeeper& keeper, bool throughCounter, const char* source, std::string text) {
  keeper.BeginText(source);
  if (throughCounter) {
    WordCounter counter;
    counter.SetSentenceKeeper(&keeper);
    text += '\0';
    counter.ScanText(text.data(), text.size(), WordCounter::Bytes::Utf8);
  } else {
    keeper.Feed(text);
  }
  keeper.EndText();
}

TEST(SentenceKeeper, KeepsTheFirstThreeSentencesOfEachWord) {
  for (bool throughCounter : {false, true}) {
    SCOPED_TRACE(throughCounter ? "through the counter" : "fed alone");
    SentenceKeeper keeper;
    FeedText(keeper, throughCounter, "a.txt",
             "The cat sat. The cat ran off the cat mat. A dog barked at the cat. The cat slept well. ");
    FeedText(keeper, throughCounter, "b.txt", "Don't wake the sleeping dog now.");
    EXPECT_EQ((std::vector<std::string>{"The cat sat. <a.txt>", "The cat ran off the cat mat. <a.txt>",
                                        "A dog barked at the cat. <a.txt>"}),
              Texts(keeper.SentencesOf("cat")));
    EXPECT_EQ(
        (std::vector<std::string>{"A dog barked at the cat. <a.txt>", "Don't wake the sleeping dog now. <b.txt>"}),
        Texts(keeper.SentencesOf("dog")));
    EXPECT_TRUE(keeper.SentencesOf("don").empty());  // "don't" is no word of the counter's
    EXPECT_TRUE(keeper.SentencesOf("the").size() == 3);
    // A sentence read as UTF-8 is kept as GBK, as it was written.
    FeedText(keeper, throughCounter, "c.txt", "A caf\xC3\xA9 opened nearby. I don\xE2\x80\x99t KNOW him.");
    ASSERT_EQ(1u, keeper.SentencesOf("opened").size());
    EXPECT_EQ("A caf\xA8\xA6 opened nearby.", keeper.SentencesOf("opened")[0]->text);
    ASSERT_EQ(1u, keeper.SentencesOf("know").size());
    EXPECT_EQ("I don\xA1\xAFt KNOW him.", keeper.SentencesOf("know")[0]->text);
    // A line of one bare word is in no sentence; a word past the cut at 300
    // characters is not in the kept sentence.
    std::string longSentence = "Start " + std::string(60, 'x') + " ";
    for (int k = 0; k < 60; ++k) longSentence += "word ";
    longSentence += "zebra ends here.";
    FeedText(keeper, throughCounter, "d.txt", "Fruits we like:\napple\nThe pear fell down.\n\n" + longSentence);
    EXPECT_TRUE(keeper.SentencesOf("apple").empty());
    EXPECT_EQ((std::vector<std::string>{"The pear fell down. <d.txt>"}), Texts(keeper.SentencesOf("pear")));
    EXPECT_EQ(1u, keeper.SentencesOf("start").size());
    EXPECT_TRUE(keeper.SentencesOf("zebra").empty());
  }
}

TEST(WordSentences, KeptPerBankDroppedWithItAndCopiedToTheList) {
  testing::TempDir dir;
  std::string path = dir.File("dict_main.db");
  WordDatabase db;
  ASSERT_TRUE(db.Open(path));
  testing::CreateBanks(db, {kMainWord, kMainRemember, "novel"});
  testing::PutWord(db, "novel", "letter", "信", 3);

  SentenceKeeper first;
  first.BeginText("one.txt");
  first.Feed("She read the letter. The letter was long. He lost a letter.");
  first.EndText();
  ASSERT_TRUE(StoreSentences(db, "novel", first).ok());
  SentenceKeeper second;
  second.BeginText("two.txt");
  second.Feed("The letter was long. A new letter came.");
  second.EndText();
  std::unordered_set<std::string> only{"letter"};
  ASSERT_TRUE(StoreSentences(db, "novel", second, &only).ok());
  std::vector<KeptSentence> kept = SentencesOf(db, "novel", "letter");
  ASSERT_EQ(3u, kept.size());  // the limit holds across texts
  EXPECT_EQ("She read the letter.", kept[0].text);
  EXPECT_EQ("one.txt", kept[0].source);
  EXPECT_TRUE(SentencesOf(db, "novel", "came").empty());  // not among the words stored

  testing::RecordingBoxes boxes;
  ASSERT_TRUE(AddToRecitationList(db, {{"letter", "", Gbk("信"), "", Gbk("不会"), "3"}}, boxes, nullptr, "NOVEL").ok());
  EXPECT_EQ(3u, SentencesOf(db, kMainRemember, "letter").size());
  EXPECT_EQ("", testing::ReadBank(path, kMainRemember).at(0).phonetic);

  ASSERT_TRUE(DropBank(db, "novel", kMainWord, boxes).ok());
  EXPECT_TRUE(SentencesOf(db, "novel", "letter").empty());
  EXPECT_EQ(3u, SentencesOf(db, kMainRemember, "letter").size());
  std::vector<std::string> banks = ListBanks(db);
  EXPECT_EQ(std::vector<std::string>{kMainWord}, banks);  // the table is not a bank
}

// A bundled example goes only to a word with no sentence in the bank, and
// the learner's own sentences replace it, there and in the list it is
// copied to.
TEST(WordSentences, BundledExamplesOnlyWhereNoSentenceAndReplacedByTheText) {
  testing::TempDir dir;
  WordDatabase db;
  ASSERT_TRUE(db.Open(dir.File("dict_main.db")));
  testing::CreateBanks(db, {kMainWord, kMainRemember, "novel"});
  ASSERT_TRUE(AddSentence(db, "novel", "book", {"She read the book.", "a.txt", false}).ok());
  auto example = [](const char* text) { return KeptSentence{text, "WordNet 3.0", true}; };
  ASSERT_TRUE(StoreBundledExamples(db, "novel",
                                   {{"book", example("A good book.")},
                                    {"letter", example("A letter came.")},
                                    {"pen", example("Write with a pen.")}})
                  .ok());
  ASSERT_TRUE(StoreBundledExamples(db, "NOVEL", {{"letter", example("A second example.")}}).ok());
  testing::RecordingBoxes boxes;
  ASSERT_TRUE(AddToRecitationList(db, {{"letter", "", Gbk("信"), "", Gbk("不会"), "3"}}, boxes, nullptr, "novel").ok());
  SentenceKeeper keeper;
  keeper.BeginText("b.txt");
  keeper.Feed("He lost a letter. The pen broke.");
  keeper.EndText();
  std::unordered_set<std::string> only{"pen"};
  ASSERT_TRUE(StoreSentences(db, "novel", keeper, &only).ok());

  struct Case {
    const char* bank;
    const char* word;
    std::vector<std::tuple<std::string, std::string, bool>> sentences;
  };
  const Case cases[] = {
      {"novel", "book", {{"She read the book.", "a.txt", false}}},
      {"novel", "letter", {{"A letter came.", "WordNet 3.0", true}}},
      {"novel", "pen", {{"The pen broke.", "b.txt", false}}},
      {kMainRemember, "letter", {{"A letter came.", "WordNet 3.0", true}}},
  };
  for (const Case& c : cases) {
    std::vector<std::tuple<std::string, std::string, bool>> stored;
    for (const KeptSentence& s : SentencesOf(db, c.bank, c.word)) stored.emplace_back(s.text, s.source, s.bundled);
    EXPECT_EQ(c.sentences, stored) << c.bank << " " << c.word;
  }
  // The text's sentence of letter, copied to the list, replaces the example there.
  ASSERT_TRUE(StoreSentences(db, "novel", keeper).ok());
  ASSERT_TRUE(CopySentences(db, "novel", kMainRemember, "letter").ok());
  for (const char* bank : {"novel", kMainRemember}) {
    std::vector<KeptSentence> letter = SentencesOf(db, bank, "letter");
    ASSERT_EQ(1u, letter.size()) << bank;
    EXPECT_EQ("He lost a letter.", letter[0].text) << bank;
    EXPECT_FALSE(letter[0].bundled) << bank;
  }
}

}  // namespace
}  // namespace quorvo
