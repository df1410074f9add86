#include "review/review_queue.h"

#include <algorithm>
#include <unordered_map>

namespace quorvo {

std::vector<DueCard> ChooseDueCards(const std::vector<std::string>& listWords, const std::vector<ReviewCard>& cards,
                                    int today, int newPerDay) {
  std::unordered_map<std::string_view, const ReviewCard*> byWord;
  byWord.reserve(cards.size());
  int startedToday = 0;
  for (const auto& card : cards) {
    byWord.emplace(card.word, &card);
    if (card.introduced == today) ++startedToday;
  }
  int newLeft = std::max(0, newPerDay - startedToday);

  std::vector<DueCard> due;
  std::vector<DueCard> fresh;
  for (size_t i = 0; i < listWords.size(); ++i) {
    int row = static_cast<int>(i) + 1;
    // A row without a word (NULL in a file another program wrote) is no card.
    if (listWords[i].empty()) continue;
    auto found = byWord.find(listWords[i]);
    if (found == byWord.end()) {
      if (static_cast<int>(fresh.size()) < newLeft) fresh.push_back({listWords[i], row, true, today});
    } else if (found->second->due <= today) {
      due.push_back({listWords[i], row, false, found->second->due});
    }
  }
  std::stable_sort(due.begin(), due.end(), [](const DueCard& a, const DueCard& b) { return a.due < b.due; });
  due.insert(due.end(), fresh.begin(), fresh.end());
  return due;
}

}  // namespace quorvo
