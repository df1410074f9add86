#include "lookup/family_merge.h"

#include <map>

#include "lookup/convert_words.h"
#include "wordstore/sql.h"
#include "wordstore/word_bank.h"
#include "wordstore/word_forms.h"
#include "wordstore/word_sentences.h"

namespace quorvo {

Result<std::vector<BankRow>> ReadBankRows(WordDatabase& db, std::string_view bank) {
  ConnectionLock lock(db.handle());
  Statement select(db.handle(), "select value, hot, known from " + BankIdentifier(bank) + " order by id");
  if (!select.prepared().ok()) return select.prepared();
  std::vector<BankRow> rows;
  for (;;) {
    Result<bool> row = select.Step();
    if (!row.ok()) return row.status();
    if (!*row) break;
    rows.push_back({select.Text(0), static_cast<int>(select.Int(1)), select.IsNull(2) || select.Text(2) != "0"});
  }
  return rows;
}

std::vector<FamilyMerge> PlanFamilyMerges(const std::vector<BankRow>& ticked, const std::vector<BankRow>& bank,
                                          const Lexicon& lexicon) {
  std::map<std::string, BankRow> inBank;
  for (const BankRow& row : bank) inBank.emplace(row.word, row);
  std::map<std::string, std::vector<BankRow>> groups;
  for (const BankRow& row : ticked) {
    auto stored = inBank.find(row.word);
    std::vector<BankRow>& group = groups[FamilyBase(&lexicon, row.word)];
    bool twice = false;
    for (const BankRow& seen : group) twice = twice || seen.word == row.word;
    if (!twice) group.push_back(stored != inBank.end() ? stored->second : row);
  }
  std::vector<FamilyMerge> merges;
  for (auto& [base, rows] : groups) {
    FamilyMerge merge;
    merge.base = base;
    bool keptKnown = false;
    if (auto own = inBank.find(base); own != inBank.end()) {
      merge.kept = base;
      merge.hot = own->second.hot;
      keptKnown = own->second.known;
      for (const BankRow& row : rows)
        if (row.word != base) merge.merged.push_back(row);
    } else {
      const BankRow* most = &rows.front();
      for (const BankRow& row : rows)
        if (row.hot > most->hot) most = &row;
      merge.kept = most->word;
      merge.hot = most->hot;
      keptKnown = most->known;
      for (const BankRow& row : rows)
        if (&row != most) merge.merged.push_back(row);
    }
    bool mergedKnown = false;
    for (const BankRow& row : merge.merged) {
      merge.hot += row.hot;
      mergedKnown = mergedKnown || row.known;
    }
    merge.markKnown = mergedKnown && !keptKnown;
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
    // The kept row's name first, so that its sentences and forms come
    // before those of the rows merged into it.
    if (merge.kept != merge.base) {
      std::string rename = "update " + BankIdentifier(bank) + " set value = '" + SqlText(merge.base) +
                           "' where value = '" + SqlText(merge.kept) + "'";
      if (Status renamed = db.Run(rename); !renamed.ok()) return renamed;
      if (Status moved = MoveSentences(db, bank, merge.kept, merge.base); !moved.ok()) return moved;
      if (Status relisted = RelistWordForms(db, bank, merge.kept, merge.base); !relisted.ok()) return relisted;
      int keptHot = merge.hot;
      for (const BankRow& row : merge.merged) keptHot -= row.hot;
      forms.push_back(WordForm{merge.base, merge.kept, keptHot, merge.base});
    }
    for (const BankRow& row : merge.merged) {
      if (Status gone = db.Run(DeleteWordStatement(bank, row.word)); !gone.ok()) return gone;
      if (Status moved = MoveSentences(db, bank, row.word, merge.base); !moved.ok()) return moved;
      if (Status relisted = RelistWordForms(db, bank, row.word, merge.base); !relisted.ok()) return relisted;
      forms.push_back(WordForm{merge.base, row.word, row.hot, merge.base});
    }
    if (Status hot = db.Run(SetHotStatement(bank, merge.hot, merge.base)); !hot.ok()) return hot;
    if (merge.markKnown)
      if (Status known = db.Run(MarkKnownStatement(bank, merge.base)); !known.ok()) return known;
  }
  if (Status kept = StoreWordForms(db, bank, forms); !kept.ok()) return kept;
  return batch.Commit();
}

}  // namespace quorvo
