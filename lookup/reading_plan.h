// ReadingPlan: the fewest words a learner has to learn to read a text at a
// given coverage. Coverage here is by running words: the share of the
// text's counted occurrences whose family the learner knows. Pure; any
// thread.
#pragma once

#include <string>
#include <vector>

#include "lexicon/lexicon.h"
#include "lookup/convert_words.h"

namespace quorvo {

struct ReadingPlan {
  int target = 0;                  // 95 or 98 (percent); 0: 98 % is reached already, no plan
  std::vector<std::string> words;  // the bank's words to learn, most frequent family first
  long long running = 0;           // counted occurrences in the text
  long long known = 0;             // of them, in families the learner knows
};

// Groups the counted words by family (a form and its base are one family,
// known when either is), then takes the unknown families by their count in
// the text, the most frequent first (alphabetically among equals), until
// the known share reaches 95 %, or 98 % when 95 % is reached already. A
// family's word is its base when the bank has a row for it, else its most
// frequent spelling there.
ReadingPlan PlanReading(const std::vector<TextWord>& words, const Lexicon* lexicon);

}  // namespace quorvo
