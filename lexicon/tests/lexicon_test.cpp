#include "lexicon/lexicon.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "lexicon/contraction.h"

namespace quorvo {
namespace {

std::vector<std::string> Strings(std::span<const std::string_view> views) {
  return std::vector<std::string>(views.begin(), views.end());
}

std::vector<std::string> Codes(ExamSet set) {
  std::vector<std::string> codes;
  for (Exam exam : kAllExams)
    if (HasExam(set, exam)) codes.emplace_back(ExamCode(exam));
  return codes;
}

const Lexicon& Bundled() {
  static Lexicon lexicon = [] {
    Lexicon loaded;
    EXPECT_TRUE(loaded.Load(QUORVO_LEXICON_DATA)) << QUORVO_LEXICON_DATA;
    return loaded;
  }();
  return lexicon;
}

// The committed table: every kind of form a learner meets leads to the base
// a learner's dictionary names, and words that only look inflected stay
// words of their own.
TEST(BundledLexicon, FormsLeadToTheirBases) {
  struct Case {
    const char* form;
    std::vector<std::string> bases;  // empty: no form of another word
  };
  const Case cases[] = {
      // Irregular forms.
      {"went", {"go"}},
      {"was", {"be"}},
      {"children", {"child"}},
      {"mice", {"mouse"}},
      {"feet", {"foot"}},
      {"taught", {"teach"}},
      {"written", {"write"}},
      {"geese", {"goose"}},
      {"worse", {"bad"}},
      // Doubled consonants, and the silent e they must not be confused with.
      {"running", {"run", "running"}},
      {"stopped", {"stop"}},
      {"bigger", {"big"}},
      {"hopping", {"hop"}},
      {"hoping", {"hope"}},
      {"hoped", {"hope"}},
      // -ies, -ied, -ier.
      {"flies", {"fly"}},
      {"studies", {"study"}},
      {"tried", {"try"}},
      {"carried", {"carry"}},
      {"happier", {"happy"}},
      {"babies", {"baby"}},
      // British spellings keep their own base.
      {"colours", {"colour"}},
      {"travelled", {"travel"}},
      {"cancelled", {"cancel"}},
      {"realised", {"realise"}},
      {"centres", {"centre"}},
      // Forms of two families: the more frequent base first.
      {"leaves", {"leave", "leaf"}},
      {"saw", {"see", "saw"}},
      {"found", {"find", "found"}},
      {"better", {"good", "well", "better"}},
      {"lay", {"lie", "lay"}},
      {"does", {"do", "doe"}},
      // A form far more used than its base is a base of its own first.
      {"data", {"data", "datum"}},
      // Words that only look inflected.
      {"news", {}},
      {"business", {}},
      {"during", {}},
      {"thing", {}},
      {"series", {}},
      {"species", {}},
      {"always", {}},
      {"morning", {}},
      {"evening", {}},  // no -ing of the seldom verb "even"
      {"ceiling", {}},
      {"seed", {}},    // no past of "see"
      {"offer", {}},   // no comparative of "off"
      {"number", {}},  // nor of "numb"
      {"hundred", {}},
  };
  const Lexicon& lexicon = Bundled();
  for (const Case& c : cases) {
    EXPECT_EQ(c.bases, Strings(lexicon.BasesOf(c.form))) << c.form;
    EXPECT_EQ(c.bases.empty() ? std::string(c.form) : c.bases.front(), lexicon.BaseOf(c.form)) << c.form;
  }
}

TEST(BundledLexicon, FamiliesExamsAndRanks) {
  const Lexicon& lexicon = Bundled();
  std::vector<std::string> runForms = Strings(lexicon.FormsOf("run"));
  for (const char* form : {"ran", "running", "runs"})
    EXPECT_NE(runForms.end(), std::find(runForms.begin(), runForms.end(), form)) << form;
  std::vector<std::string> leafForms = Strings(lexicon.FormsOf("leaf"));
  EXPECT_NE(leafForms.end(), std::find(leafForms.begin(), leafForms.end(), "leaves"));

  // ECDICT's tags and ranks as its ecdict.csv lists them (rank: frq, else bnc).
  struct Case {
    const char* word;
    std::vector<std::string> exams;
    uint32_t rank;
  };
  const Case cases[] = {
      {"business", {"zk", "gk", "cet4", "cet6", "ky", "ielts"}, 246},
      {"leave", {"zk", "gk", "ielts"}, 150},
      {"identify", {"cet4", "cet6", "ky", "ielts", "toefl"}, 770},
      {"datum", {"cet6", "ky"}, 28458},
      {"means", {"gk", "cet4", "cet6", "ky", "ielts", "toefl"}, 1033},  // no COCA rank: BNC's
      {"leaves", {}, 0},
      {"qqqq", {}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.exams, Codes(lexicon.ExamsOf(c.word))) << c.word;
    EXPECT_EQ(c.rank, lexicon.FrequencyRank(c.word)) << c.word;
  }
  // ECDICT tags 5,407 rows cet6; 11 of them are no run of letters ("well-known").
  EXPECT_EQ(5396u, lexicon.WordsOf(Exam::Cet6).size());
}

TEST(Lexicon, ReadsWhatItCanAndSkipsTheRest) {
  Lexicon lexicon;
  LexiconLoadReport report;
  ASSERT_TRUE(
      lexicon.LoadText("# comment\n"
                       "leaves\tleave,leaf\r\n"
                       "leave\t\t150\tzk,gk,ielts\n"
                       "saw\tsee,saw\t7433\tcet4,xx\n"                  // an exam code a later file adds is passed over
                       "Went\tgo\n"                                     // not lower case
                       "ran\trun\tmany\n"                               // a rank that is no number
                       "sat\tsit\t1\t\textra\n"                         // a fifth field
                       "gone\tg o\n"                                    // a base that is no word
                       "leave\t\t1\n"                                   // a second line of a word
                       "internationalizations\tinternationalization\n"  // longer than a slot keeps inline
                       "internationalizationx\tother\n"
                       "leaf\t\t1559",  // no line feed at the end
                       &report));
  EXPECT_EQ(5u, report.skippedLines);
  EXPECT_EQ(4u, report.forms);
  EXPECT_EQ(3u, report.ranked);
  EXPECT_EQ(2u, report.tagged);

  EXPECT_EQ("leave", lexicon.BaseOf("Leaves"));  // any case
  EXPECT_EQ("Went", lexicon.BaseOf("Went"));     // unknown: the word itself, as given
  EXPECT_EQ("internationalization", lexicon.BaseOf("Internationalizations"));
  EXPECT_EQ("other", lexicon.BaseOf("internationalizationx"));
  EXPECT_EQ("internationalizationz", lexicon.BaseOf("internationalizationz"));
  EXPECT_EQ((std::vector<std::string>{"leave", "leaf"}), Strings(lexicon.BasesOf("LEAVES")));
  EXPECT_EQ((std::vector<std::string>{"leaves"}), Strings(lexicon.FormsOf("leaf")));
  EXPECT_EQ((std::vector<std::string>{"saw"}), Strings(lexicon.FormsOf("see")));  // a base without a line
  EXPECT_EQ((std::vector<std::string>{"cet4"}), Codes(lexicon.ExamsOf("saw")));
  EXPECT_EQ(150u, lexicon.FrequencyRank("leave"));
  EXPECT_EQ((std::vector<std::string>{"leave"}), Strings(lexicon.WordsOf(Exam::Zhongkao)));
  EXPECT_TRUE(lexicon.BasesOf("ran").empty());
  EXPECT_TRUE(lexicon.BasesOf(std::string(200, 'a')).empty());

  Lexicon moved = std::move(lexicon);  // the views still point into the moved text
  EXPECT_EQ("leave", moved.BaseOf("leaves"));

  EXPECT_FALSE(moved.Load("/nonexistent/quorvo-lexicon.tsv"));
  EXPECT_EQ("leaves", moved.BaseOf("leaves"));
}

}  // namespace
}  // namespace quorvo

namespace quorvo {
namespace {

TEST(ContractionStemTest, ContractionsAndPossessivesGiveTheirWord) {
  const std::pair<const char*, const char*> cases[] = {
      {"don't", "do"},    {"didn't", "did"},   {"won't", "will"}, {"can't", "can"},    {"shan't", "shall"},
      {"john's", "john"}, {"they're", "they"}, {"we've", "we"},   {"you'll", "you"},   {"she'd", "she"},
      {"i'm", "i"},       {"o'clock", ""},     {"ain't", ""},     {"rock'n'roll", ""}, {"'twas", ""},
      {"plain", "plain"}, {"n't", ""},
  };
  for (const auto& [token, stem] : cases) EXPECT_EQ(stem, ContractionStem(token)) << token;
}

}  // namespace
}  // namespace quorvo
