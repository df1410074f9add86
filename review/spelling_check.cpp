#include "review/spelling_check.h"

#include <algorithm>
#include <utility>

namespace quorvo {
namespace {

std::string Normalized(std::string_view text) {
  std::string out;
  bool blank = false;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      blank = !out.empty();
      continue;
    }
    if (blank) out.push_back(' ');
    blank = false;
    out.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return out;
}

// The British and American forms of a word differ by one of these pairs.
const std::pair<const char*, const char*> kSpellingPairs[] = {
    {"our", "or"},  {"ise", "ize"},  {"isation", "ization"}, {"yse", "yze"},  {"tre", "ter"},
    {"ogue", "og"}, {"lled", "led"}, {"lling", "ling"},      {"ller", "ler"}, {"ence", "ense"},
};

bool IsOtherSpelling(const std::string& a, const std::string& b) {
  for (const auto& [x, y] : kSpellingPairs) {
    for (auto [from, to] :
         {std::pair{std::string_view(x), std::string_view(y)}, std::pair{std::string_view(y), std::string_view(x)}}) {
      for (size_t at = a.find(from); at != std::string::npos; at = a.find(from, at + 1)) {
        std::string candidate = a.substr(0, at) + std::string(to) + a.substr(at + from.size());
        if (candidate == b) return true;
      }
    }
  }
  return false;
}

// Damerau-Levenshtein (optimal string alignment) laid out as steps.
std::vector<SpellingStep> Align(const std::string& typed, const std::string& word) {
  size_t n = typed.size(), m = word.size();
  std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
  for (size_t i = 0; i <= n; ++i) d[i][0] = static_cast<int>(i);
  for (size_t j = 0; j <= m; ++j) d[0][j] = static_cast<int>(j);
  for (size_t i = 1; i <= n; ++i) {
    for (size_t j = 1; j <= m; ++j) {
      int cost = typed[i - 1] == word[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && typed[i - 1] == word[j - 2] && typed[i - 2] == word[j - 1] && typed[i - 1] != typed[i - 2])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  std::vector<SpellingStep> steps;
  size_t i = n, j = m;
  while (i > 0 || j > 0) {
    if (i > 0 && j > 0 && typed[i - 1] == word[j - 1] && d[i][j] == d[i - 1][j - 1]) {
      steps.push_back({SpellingStep::kRight, std::string(1, typed[i - 1]), std::string(1, word[j - 1])});
      --i, --j;
    } else if (i > 1 && j > 1 && typed[i - 1] == word[j - 2] && typed[i - 2] == word[j - 1] &&
               typed[i - 1] != typed[i - 2] && d[i][j] == d[i - 2][j - 2] + 1) {
      steps.push_back({SpellingStep::kSwapped, std::string(1, typed[i - 1]), std::string(1, word[j - 1])});
      steps.push_back({SpellingStep::kSwapped, std::string(1, typed[i - 2]), std::string(1, word[j - 2])});
      i -= 2, j -= 2;
    } else if (i > 0 && j > 0 && d[i][j] == d[i - 1][j - 1] + 1) {
      steps.push_back({SpellingStep::kWrong, std::string(1, typed[i - 1]), std::string(1, word[j - 1])});
      --i, --j;
    } else if (j > 0 && d[i][j] == d[i][j - 1] + 1) {
      steps.push_back({SpellingStep::kMissing, "", std::string(1, word[j - 1])});
      --j;
    } else {
      steps.push_back({SpellingStep::kExtra, std::string(1, typed[i - 1]), ""});
      --i;
    }
  }
  std::reverse(steps.begin(), steps.end());
  return steps;
}

}  // namespace

SpellingCheck CheckSpelling(std::string_view typed, std::string_view word,
                            const std::function<bool(std::string_view spelling)>& listed) {
  SpellingCheck check;
  std::string given = Normalized(typed), wanted = Normalized(word);
  check.steps = Align(given, wanted);
  check.correct = !wanted.empty() && given == wanted;
  if (!check.correct && !given.empty() && listed && IsOtherSpelling(wanted, given) && listed(given)) {
    check.correct = check.variant = true;
    check.steps.clear();
    for (char c : given) check.steps.push_back({SpellingStep::kRight, std::string(1, c), std::string(1, c)});
  }
  return check;
}

Grade DrillGrade(int attempt, bool correct, double seconds) {
  if (!correct) return Grade::Again;
  if (attempt > 1) return Grade::Hard;
  return seconds <= kQuickAnswerSeconds ? Grade::Easy : Grade::Good;
}

}  // namespace quorvo
