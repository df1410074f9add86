// The check of a word typed in a spelling drill (默写, 听写) and the grade
// the drill gives the card.
//
// CheckSpelling compares letter by letter, without regard to letter case
// or the blanks around and inside what was typed (runs of blanks count as
// one), and lays the typed text against the word: each step says whether a
// letter is right, wrong, missing, extra, or one of two swapped letters, so
// the page can mark the differences. A spelling the word's British or
// American counterpart (colour/color, centre/center, realise/realize,
// travelled/traveled, analyse/analyze, catalogue/catalog) is accepted when
// listed says the dictionary has it too.
//
// Pure functions; any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "review/fsrs.h"

namespace quorvo {

struct SpellingStep {
  enum Kind { kRight, kWrong, kMissing, kExtra, kSwapped };
  Kind kind;
  std::string typed;     // the typed letter (empty for kMissing)
  std::string expected;  // the word's letter (empty for kExtra)
};

struct SpellingCheck {
  bool correct = false;
  bool variant = false;             // accepted as the word's other spelling
  std::vector<SpellingStep> steps;  // the typed text laid against the word
};

SpellingCheck CheckSpelling(std::string_view typed, std::string_view word,
                            const std::function<bool(std::string_view spelling)>& listed = {});

// The grade of a drilled card: right at the first try is 认识 (Good), or
// 简单 (Easy) when typed within kQuickAnswerSeconds; right at the second
// try, after the hint, 模糊 (Hard); wrong at the second try 忘记 (Again).
inline constexpr double kQuickAnswerSeconds = 3;
Grade DrillGrade(int attempt, bool correct, double seconds);

}  // namespace quorvo
