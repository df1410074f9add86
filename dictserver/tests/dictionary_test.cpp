#include "dictionary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace quorvo::dictd {
namespace {

// Bases chosen so that a wrong rule order finds a wrong word: "us" for
// "uses", "hop" for "hoping", "singe" for "singing".
constexpr char kData[] =
    "# test data\n"
    "cat\tn. 猫\n"
    "box\tn. 盒子\n"
    "fly\tv. 飞\tn. 苍蝇\n"
    "go\tv. 去；走\n"
    "use\tv. 使用\n"
    "us\tpron. 我们\n"
    "walk\tv. 走；散步\n"
    "hope\tv. 希望\n"
    "hop\tv. 跳\n"
    "sing\tv. 唱\n"
    "singe\tv. 烧焦\n"
    "run\tv. 跑\n"
    "lie\tv. 躺\n"
    "like\tv. 喜欢\n"
    "try\tv. 尝试\n"
    "stop\tv. 停止\n"
    "nice\tadj. 好的\n"
    "tall\tadj. 高的\n"
    "happy\tadj. 快乐的\n"
    "big\tadj. 大的\n"
    "tell\tv. 告诉\n"
    "play\tv. 玩\n"
    "dress\tn. 连衣裙\n"
    "went\t=go\n";

TEST(DictionaryTest, InflectedFormsLeadToTheirBase) {
  Dictionary dictionary;
  ASSERT_TRUE(dictionary.LoadText(kData));
  const struct {
    const char* word;
    const char* headword;
  } cases[] = {
      {"cat", "cat"},       {"cats", "cat"},
      {"boxes", "box"},     {"flies", "fly"},
      {"goes", "go"},       {"uses", "use"},
      {"walking", "walk"},  {"hoping", "hope"},
      {"hopping", "hop"},   {"singing", "sing"},
      {"running", "run"},   {"lying", "lie"},
      {"playing", "play"},  {"liked", "like"},
      {"walked", "walk"},   {"tried", "try"},
      {"stopped", "stop"},  {"nicer", "nice"},
      {"nicest", "nice"},   {"taller", "tall"},
      {"happier", "happy"}, {"happiest", "happy"},
      {"bigger", "big"},    {"biggest", "big"},
      {"went", "go"},       {"tellin", "tell"},
      {"Cats", "cat"},      {"WALKED", "walk"},
      {"dresses", "dress"}, {"dress", "dress"},
      {"zzyzx", ""},        {"catss", ""},
      {"walk ed", ""},      {"", ""},
      {"café", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(dictionary.Resolve(c.word), c.headword) << c.word;
  EXPECT_EQ(dictionary.Resolve(std::string(128, 'a')), "");
}

TEST(DictionaryTest, KeepsOnlyWhatAPageCanCarry) {
  Dictionary dictionary;
  LoadReport report;
  ASSERT_TRUE(
      dictionary.LoadText("good\tn. 好\r\n"
                          "angle\tn. <b>角</b>\n"        // markup: the part is dropped, and with it the line
                          "mixed\tn. 混合\tv. 混&合\n"   // only the clean part stays
                          "blank\tn.   两个   空格  \n"  // blanks collapse, as the page reader would
                          "nohead\t猫\n"                 // no "head senses"
                          "broken\tn. \xE7\x8C\n"        // cut UTF-8
                          "control\tn. a\x01"
                          "b\n"
                          "two words\tn. 词\n"
                          "alone\n"
                          "Upper\tn. 上\n"
                          "lost\t=nowhere\n"  // an alias needs its base
                          "good\t=mixed\n",   // a headword needs no alias
                          &report));
  EXPECT_EQ(dictionary.headwordCount(), 4u);
  EXPECT_EQ(report.headwords, 4u);
  EXPECT_EQ(report.aliases, 0u);
  EXPECT_EQ(report.skippedLines, 7u);
  ASSERT_NE(dictionary.Entry("mixed"), nullptr);
  EXPECT_EQ(TranslationText(*dictionary.Entry("mixed")), "n. 混合");
  EXPECT_EQ(TranslationText(*dictionary.Entry("blank")), "n. 两个 空格");
  EXPECT_EQ(TranslationText(*dictionary.Entry("good")), "n. 好");
  EXPECT_NE(dictionary.Entry("upper"), nullptr);
  EXPECT_EQ(dictionary.Entry("angle"), nullptr);
  EXPECT_EQ(dictionary.Resolve("lost"), "");
}

TEST(DictionaryTest, EmptyOrMissingDataIsRefused) {
  Dictionary dictionary;
  EXPECT_FALSE(dictionary.LoadText("# nothing\n\n"));
  EXPECT_FALSE(dictionary.Load("/nonexistent/quorvo-dict.tsv"));
}

TEST(DictionaryTest, FitPartsCutsSensesBeforeParts) {
  std::vector<DictPart> parts = {{"n.", "一；二；三"}, {"v.", "四；五"}};
  const struct {
    size_t budget;
    const char* expected;
  } cases[] = {
      {1000, "n. 一；二；三\nv. 四；五"},
      {strlen("n. 一；二；三\nv. 四"), "n. 一；二；三\nv. 四"},
      {strlen("n. 一；二；三\nv. 四") - 1, "n. 一；二；三"},
      {strlen("n. 一"), "n. 一"},
      {2, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TranslationText(FitParts(parts, c.budget)), c.expected) << c.budget;

  std::vector<DictPart> many(kMaxParts + 3, DictPart{"n.", "词"});
  EXPECT_EQ(FitParts(many).size(), kMaxParts);
}

}  // namespace
}  // namespace quorvo::dictd
