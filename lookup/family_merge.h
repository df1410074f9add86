// Merging rows of one word family after the fact ("合并词形" on ticked
// rows): runs and ran ticked in a bank become run, with the sum of their hot
// values, their spellings kept as the forms seen (word_forms.h). Rows are
// never merged unless the learner asks. Window thread.
#pragma once

#include <string>
#include <vector>

#include "base/status.h"
#include "lexicon/lexicon.h"
#include "wordstore/word_database.h"

namespace quorvo {

struct BankRow {
  std::string word;
  int hot = 0;
};

struct FamilyMerge {
  std::string base;             // the family's word, the row that stays
  std::string kept;             // the row that becomes it (the base's own, or the form with most hot)
  std::vector<BankRow> merged;  // the other rows, deleted, their hot added
  int hot = 0;                  // the row's hot afterwards
};

// The merges the ticked rows ask for: ticked rows grouped by family base; a
// group merges into the base's row when the bank has one (ticked or not),
// else into its ticked row with the most hot, renamed to the base. A group
// of one row that is its family's base, or that has no base row to join,
// changes nothing. bank: every row of the bank, ticked ones included.
std::vector<FamilyMerge> PlanFamilyMerges(const std::vector<BankRow>& ticked, const std::vector<BankRow>& bank,
                                          const Lexicon& lexicon);

// "run ← runs、ran（热度 5）", one line per merge (UTF-8), for the box that
// asks first.
std::string FamilyMergeText(const std::vector<FamilyMerge>& merges);

// Applies the merges in one batch, all or nothing: the merged rows go, the
// kept row takes the base's name and the summed hot, and the spellings are
// kept as the row's forms.
Status ApplyFamilyMerges(WordDatabase& db, const std::string& bank, const std::vector<FamilyMerge>& merges);

}  // namespace quorvo
