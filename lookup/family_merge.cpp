#include "lookup/family_merge.h"

#include <map>

#include "lookup/convert_words.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_forms.h"

namespace quorvo {

std::vector<FamilyMerge> PlanFamilyMerges(const std::vector<BankRow>& ticked, const std::vector<BankRow>& bank,
                                          const Lexicon& lexicon) {
  std::map<std::string, int> hotOf;
  for (const BankRow& row : bank) hotOf[row.word] = row.hot;
  std::map<std::string, std::vector<BankRow>> groups;
  for (const BankRow& row : ticked) groups[FamilyBase(&lexicon, row.word)].push_back(row);
  std::vector<FamilyMerge> merges;
  for (auto& [base, rows] : groups) {
    FamilyMerge merge;
    merge.base = base;
    if (auto own = hotOf.find(base); own != hotOf.end()) {
      merge.kept = base;
      merge.hot = own->second;
      for (const BankRow& row : rows)
        if (row.word != base) merge.merged.push_back(row);
    } else {
      const BankRow* most = &rows.front();
      for (const BankRow& row : rows)
        if (row.hot > most->hot) most = &row;
      merge.kept = most->word;
      merge.hot = most->hot;
      for (const BankRow& row : rows)
        if (&row != most) merge.merged.push_back(row);
    }
    for (const BankRow& row : merge.merged) merge.hot += row.hot;
    if (!merge.merged.empty()) merges.push_back(std::move(merge));
  }
  return merges;
}

std::string FamilyMergeText(const std::vector<FamilyMerge>& merges) {
  std::string text;
  for (const FamilyMerge& merge : merges) {
    if (!text.empty()) text += '\n';
    text += merge.base + " ← ";
    std::string names = merge.kept != merge.base ? merge.kept : std::string();
    for (const BankRow& row : merge.merged) names += (names.empty() ? "" : "、") + row.word;
    text += names + "（热度 " + std::to_string(merge.hot) + "）";
  }
  return text;
}

Status ApplyFamilyMerges(WordDatabase& db, const std::string& bank, const std::vector<FamilyMerge>& merges) {
  WordDatabase::Batch batch(db);
  if (!batch.began().ok()) return batch.began();
  std::vector<WordForm> forms;
  for (const FamilyMerge& merge : merges) {
    for (const BankRow& row : merge.merged) {
      if (Status gone = db.Run(DeleteWordStatement(bank, row.word)); !gone.ok()) return gone;
      forms.push_back(WordForm{merge.base, row.word, row.hot, merge.base});
    }
    if (merge.kept != merge.base) {
      std::string rename = "update " + BankIdentifier(bank) + " set value = '" + SqlText(merge.base) +
                           "' where value = '" + SqlText(merge.kept) + "'";
      if (Status renamed = db.Run(rename); !renamed.ok()) return renamed;
      int keptHot = merge.hot;
      for (const BankRow& row : merge.merged) keptHot -= row.hot;
      forms.push_back(WordForm{merge.base, merge.kept, keptHot, merge.base});
    }
    if (Status hot = db.Run(SetHotStatement(bank, merge.hot, merge.base)); !hot.ok()) return hot;
  }
  if (Status kept = StoreWordForms(db, bank, forms); !kept.ok()) return kept;
  return batch.Commit();
}

}  // namespace quorvo
