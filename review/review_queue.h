// The cards of 今日复习: which words of the recitation list are due today,
// in which order. Pure; any thread.
#pragma once

#include <string>
#include <vector>

#include "review/review_store.h"

namespace quorvo {

struct DueCard {
  std::string word;
  int row = 0;  // the word's data row in the list, counted from 1
  bool isNew = false;
  int due = 0;  // day number; today for a new word
};

// The list's reviewed words due by today, the most overdue first (list order
// among equals), then words never reviewed, in list order, as many as
// newPerDay leaves after the words already started today.
std::vector<DueCard> ChooseDueCards(const std::vector<std::string>& listWords, const std::vector<ReviewCard>& cards,
                                    int today, int newPerDay);

}  // namespace quorvo
