#include "review/spelling_check.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quorvo {
namespace {

// One character per step: = right, x wrong, - missing, + extra, ~ swapped.
std::string Marks(const SpellingCheck& check) {
  std::string marks;
  for (const SpellingStep& step : check.steps) marks.push_back("=x-+~"[step.kind]);
  return marks;
}

TEST(SpellingCheck, MarksEveryDifferenceAndAcceptsTheOtherListedSpelling) {
  const std::set<std::string> dictionary = {"colour",  "color",   "centre",    "center",
                                            "realise", "realize", "travelled", "traveled"};
  auto listed = [&](std::string_view s) { return dictionary.count(std::string(s)) > 0; };
  struct Case {
    const char* typed;
    const char* word;
    bool correct;
    const char* marks;
  };
  const Case cases[] = {
      {"letter", "letter", true, "======"},
      {"LeTTer", "letter", true, "======"},
      {"  ice   cream ", "ice cream", true, "========="},
      {"lettar", "letter", false, "====x="},
      {"lettre", "letter", false, "====~~"},
      {"leter", "letter", false, "==-==="},
      {"letters", "letter", false, "======+"},
      {"", "word", false, "----"},
      {"colour", "color", true, "======"},  // listed: the British spelling
      {"color", "colour", true, "====="},   // and the American one
      {"centre", "center", true, "======"},
      {"realise", "realize", true, "======="},
      {"traveled", "travelled", true, "========"},
      {"colr", "color", false, "===-="},
      {"honour", "honor", false, "====+="},  // not in the dictionary
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed) + " for " + c.word);
    SpellingCheck check = CheckSpelling(c.typed, c.word, listed);
    EXPECT_EQ(c.correct, check.correct);
    EXPECT_EQ(c.marks, Marks(check));
  }
}

TEST(SpellingCheck, TheDrillGradesTheCard) {
  struct Case {
    int attempt;
    bool correct;
    double seconds;
    Grade grade;
  };
  const Case cases[] = {
      {1, true, 1.0, Grade::Easy},   {1, true, 3.0, Grade::Easy},  {1, true, 3.5, Grade::Good},
      {1, true, 40, Grade::Good},    {2, true, 1.0, Grade::Hard},  {2, true, 30, Grade::Hard},
      {2, false, 1.0, Grade::Again}, {2, false, 90, Grade::Again},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.attempt) + (c.correct ? " right " : " wrong ") + std::to_string(c.seconds));
    EXPECT_EQ(c.grade, DrillGrade(c.attempt, c.correct, c.seconds));
  }
}

}  // namespace
}  // namespace quorvo
