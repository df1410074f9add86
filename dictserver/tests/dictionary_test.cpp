#include "dictserver/dictionary.h"

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

// Each form with the headword it leads to and the first line its page shows:
// the part the form belongs to first, naming its base.
TEST(DictionaryTest, FormsNameTheirBaseOnTheFirstLine) {
  Dictionary dictionary;
  ASSERT_TRUE(
      dictionary.LoadText("fisherman\tn. 渔夫；渔民\n"
                          "man\tn. 男人\tv. 操纵\n"
                          "omen\tn. 预兆\n"
                          "fly\tv. 飞\tn. 苍蝇\n"
                          "try\tv. 尝试\tn. 尝试\n"
                          "stop\tv. 停止\tn. 车站\n"
                          "run\tn. 跑步\tv. 跑\n"
                          "big\tadj. 大的\n"
                          "like\tv. 喜欢\tprep. 像\n"
                          "interest\tn. 兴趣\tv. 使感兴趣\n"
                          "interesting\tadj. 有趣的\tv. 使感兴趣（interest 的现在分词）\n"
                          "wed\tv. 结婚\n"
                          "wedding\tn. 婚礼\tv. 结婚（wed 的现在分词）\n"
                          "go\tv. 去；走\n"
                          "child\tn. 孩子\n"
                          "good\tadj. 好的\n"
                          "center\tn. 中心\tv. 集中\n"
                          "went\t=go\tv. 过去式\n"
                          "children\t=child\tn. 复数\n"
                          "best\t=good\tadj. 最高级\n"
                          "centre\t=center\n"
                          "troop\tn. 部队\n"
                          "press\tv. 按\n"
                          "soon\tadv. 很快\n"));
  const struct {
    const char* word;
    const char* headword;
    const char* firstLine;
  } cases[] = {
      {"fishermen", "fisherman", "n. 渔夫；渔民（fisherman 的复数）"},  // compound plural
      {"men", "man", "n. 男人（man 的复数）"},
      {"omen", "omen", "n. 预兆"},                                // no plural of "o"
      {"flies", "fly", "n. 苍蝇（fly 的复数）"},                  // -ies, the noun first
      {"tried", "try", "v. 尝试（try 的过去式或过去分词）"},      // -ied
      {"stopped", "stop", "v. 停止（stop 的过去式或过去分词）"},  // doubled consonant
      {"running", "run", "v. 跑（run 的现在分词）"},              // doubled, the verb first
      {"biggest", "big", "adj. 大的（big 的最高级）"},
      {"likes", "like", "v. 喜欢（like 的第三人称单数）"},  // no noun: a verb form
      {"interesting", "interesting", "adj. 有趣的"},        // a word of its own first
      {"wedding", "wedding", "n. 婚礼"},
      {"went", "go", "v. 去；走（go 的过去式）"},  // irregular
      {"children", "child", "n. 孩子（child 的复数）"},
      {"best", "good", "adj. 好的（good 的最高级）"},
      {"centre", "center", "n. 中心"},  // a spelling: no note
      {"sooner", "soon", "adv. 很快（soon 的比较级）"},
      {"trooper", "", ""},   // no comparative of a noun
      {"pressest", "", ""},  // nor of a verb
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dictionary.Resolve(c.word), c.headword) << c.word;
    std::string text = TranslationText(dictionary.PartsFor(c.word));
    EXPECT_EQ(text.substr(0, text.find('\n')), c.firstLine) << c.word;
  }
  // The verb form of an -ing word comes as a later line.
  EXPECT_EQ(TranslationText(dictionary.PartsFor("wedding")), "n. 婚礼\nv. 结婚（wed 的现在分词）");
}

// The note is kept whole when the senses fill the budget.
TEST(DictionaryTest, FormNoteFitsTheBudget) {
  std::string senses = "词";
  while (senses.size() + 10 < kMaxTranslationBytes) senses += "；词";
  std::vector<DictPart> parts = PartsForForm({{"n.", senses}}, "word", {"n.", "复数"});
  ASSERT_EQ(parts.size(), 1u);
  std::string text = TranslationText(parts);
  EXPECT_LE(text.size(), kMaxTranslationBytes);
  EXPECT_EQ(text.substr(text.size() - strlen("；词（word 的复数）")), "；词（word 的复数）");
}

TEST(DictionaryTest, PhoneticsAreReadBesideTheParts) {
  Dictionary dictionary;
  LoadReport report;
  ASSERT_TRUE(
      dictionary.LoadText("apple\t/ˈæpəl/\tn. 苹果\n"
                          "apples\t/ˈæpəlz/\n"  // a form the rules answer: only its phonetic
                          "pear\tn. 梨\n"       // none
                          "went\t/wɛnt/\t=go\tv. 过去式\n"
                          "go\t/goʊ/\tv. 去\n"
                          "bad\t/<b>/\tn. 坏\n"   // markup: not a phonetic, and no part either
                          "odd\t/ɑd\tn. 奇数\n",  // no closing slash: read as a part, dropped
                          &report));
  EXPECT_EQ(report.phonetics, 4u);
  EXPECT_EQ(dictionary.Phonetic("apple"), "/ˈæpəl/");
  EXPECT_EQ(dictionary.Phonetic("Apples"), "/ˈæpəlz/");
  EXPECT_EQ(TranslationText(dictionary.PartsFor("apples")), "n. 苹果（apple 的复数）");
  EXPECT_EQ(dictionary.Phonetic("went"), "/wɛnt/");
  EXPECT_EQ(dictionary.Resolve("went"), "go");
  EXPECT_EQ(dictionary.Phonetic("pear"), "");
  EXPECT_EQ(dictionary.Phonetic("bad"), "");
  EXPECT_EQ(TranslationText(dictionary.PartsFor("odd")), "n. 奇数");
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
