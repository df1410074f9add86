#include "lexicon/example_sentences.h"

#include <gtest/gtest.h>

namespace quorvo {
namespace {

TEST(ExampleSentences, ReadsLinesAndFindsWordsInAnyCase) {
  ExampleSentences examples;
  ASSERT_TRUE(
      examples.LoadText("# word<TAB>example\n"
                        "#run\tA comment line.\n"
                        "run\tShe runs every morning.\r\n"
                        "run\tA second line of the word.\n"
                        "no tab here\n"
                        "empty\t\n"
                        "Caps\tNot a lower-case word.\n"
                        "well-known\tNo run of letters.\n"
                        "zebra\tThe zebra ran."));  // no newline at the end
  struct Case {
    const char* word;
    const char* example;  // "": none
  };
  const Case cases[] = {
      {"run", "She runs every morning."},
      {"RUN", "She runs every morning."},
      {"Run", "She runs every morning."},
      {"zebra", "The zebra ran."},
      {"caps", ""},
      {"empty", ""},
      {"well-known", ""},
      {"runs", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.example, examples.ExampleOf(c.word)) << c.word;
  EXPECT_EQ(2u, examples.size());
}

TEST(ExampleSentences, MissingOrEmptyFileGivesNone) {
  ExampleSentences examples;
  EXPECT_FALSE(examples.LoadText("# only a comment\n"));
  EXPECT_FALSE(examples.Load("/nonexistent/quorvo-examples.tsv"));
  EXPECT_EQ("", examples.ExampleOf("run"));
  LazyExampleSentences missing("/nonexistent/quorvo-examples.tsv");
  EXPECT_EQ(nullptr, missing.Get());
  EXPECT_EQ(nullptr, missing.Get());
}

// The committed file: WordNet 3.0's example of the word's most used sense
// that holds the word or a form of it.
TEST(ExampleSentences, BundledFile) {
  LazyExampleSentences bundled(QUORVO_EXAMPLES_DATA);
  const ExampleSentences* examples = bundled.Get();
  ASSERT_NE(nullptr, examples) << QUORVO_EXAMPLES_DATA;
  EXPECT_EQ(examples, bundled.Get());
  EXPECT_EQ("We abandoned the old car in the empty parking lot.", examples->ExampleOf("abandon"));
  EXPECT_EQ("This is not a good answer.", examples->ExampleOf("be"));  // a form of the word: "is"
  EXPECT_EQ("", examples->ExampleOf("the"));
  EXPECT_GT(examples->size(), 15000u);
}

}  // namespace
}  // namespace quorvo
