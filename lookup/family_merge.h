// Merging rows of one word family after the fact ("合并词形" on ticked
// rows): runs and ran ticked in a bank become run, with the sum of their hot
// values, their spellings kept as the forms seen (word_forms.h), their
// sentences and forms moved to the row that stays, and the row known (会背)
// when any of them was. Rows are never merged unless the learner asks.
// Window thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "lexicon/lexicon.h"
#include "wordstore/word_database.h"

namespace quorvo {

struct BankRow {
  std::string word;
  int hot = 0;
  bool known = false;  // as the word list reads the flag: any value but 0
};

struct FamilyMerge {
  std::string base;             // the family's word, the row that stays
  std::string kept;             // the row that becomes it (the base's own, or the form with most hot)
  std::vector<BankRow> merged;  // the other rows, deleted, their hot added
  int hot = 0;                  // the row's hot afterwards
  bool markKnown = false;       // a merged row was known and the kept one not: it becomes known
};

// Every row of the bank (word, hot, known), whatever the word list shows:
// a merge is planned against the whole bank, so that a base row the filter
// hides is joined, never renamed onto.
Result<std::vector<BankRow>> ReadBankRows(WordDatabase& db, std::string_view bank);

// The merges the ticked rows ask for: ticked rows grouped by family base; a
// group merges into the base's row when the bank has one (ticked or not),
// else into its ticked row with the most hot, renamed to the base. A group
// of one row that is its family's base, or that has no base row to join,
// changes nothing. bank: every row of the bank, ticked ones included (their
// hot and known flags are taken from it; a ticked word it lacks keeps its own).
std::vector<FamilyMerge> PlanFamilyMerges(const std::vector<BankRow>& ticked, const std::vector<BankRow>& bank,
                                          const Lexicon& lexicon);

// "run ← runs、ran（热度 5）", one line per merge (UTF-8), for the box that
// asks first.
std::string FamilyMergeText(const std::vector<FamilyMerge>& merges);

// Applies the merges in one batch, all or nothing: the merged rows go, the
// kept row takes the base's name, the summed hot and the known flag, the
// spellings are kept as the row's forms, and the sentences and forms kept
// under the merged rows are the base's.
Status ApplyFamilyMerges(WordDatabase& db, const std::string& bank, const std::vector<FamilyMerge>& merges);

}  // namespace quorvo
