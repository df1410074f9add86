#include "wordapp/pending_replay.h"

#include "review/misspelling_book.h"
#include "review/review_store.h"
#include "wordstore/pending_journal.h"
#include "wordstore/word_database.h"
#include "wordstore/write_failure.h"

namespace quorvo {

ReplayOutcome ReplayPendingWrites(const std::string& bankFile) {
  ReplayOutcome outcome;
  Result<PendingWrites> journal = LoadPendingWrites(bankFile);
  if (!journal.ok()) {
    outcome.hadJournal = true;
    outcome.status = journal.status();
    return outcome;
  }
  if (journal->empty()) return outcome;
  outcome.hadJournal = true;
  WordDatabase db;
  if (!db.Open(bankFile)) {
    outcome.status = Status(StatusCode::kNotFound, bankFile);
    return outcome;
  }
  {
    WordDatabase::Batch batch(db);
    if (!(outcome.status = batch.began()).ok()) return outcome;
    for (const auto& statement : journal->statements) {
      Status ran = db.Run(statement);
      if (ran.ok()) {
        ++outcome.statements;
      } else if (ran.code() != StatusCode::kRejected) {
        outcome.status = ran;
        outcome.statements = 0;
        return outcome;  // rolled back: the journal stays
      }
    }
    for (const auto& review : journal->reviews) {
      ReviewStore store(db, LocalUtcOffset(review.at));
      Status stored =
          store.RecordReview(review.bank, review.word, static_cast<Grade>(review.grade), review.at, nullptr);
      if (!stored.ok()) {
        outcome.status = stored;
        outcome.statements = outcome.reviews = 0;
        return outcome;
      }
      ++outcome.reviews;
    }
    for (const auto& tried : journal->misspellings) {
      MisspellingBook book(db, LocalUtcOffset(tried.at));
      Status stored = book.Record(tried);
      if (!stored.ok()) {
        outcome.status = stored;
        outcome.statements = outcome.reviews = outcome.misspellings = 0;
        return outcome;
      }
      ++outcome.misspellings;
    }
    if (!(outcome.status = batch.Commit()).ok()) {
      outcome.statements = outcome.reviews = outcome.misspellings = 0;
      return outcome;
    }
  }
  outcome.status = RemovePendingWrites(bankFile);
  return outcome;
}

std::string ReplayMessage(const ReplayOutcome& outcome) {
  if (!outcome.hadJournal) return "";
  if (!outcome.status.ok() && outcome.statements == 0 && outcome.reviews == 0 && outcome.misspellings == 0)
    return "上次退出时有些释义或复习记录没能写入词库，这次仍然无法写入（" + CauseText(outcome.status) +
           "）。它们保存在词库文件旁，下次启动时会再试。";
  std::string written = "上次退出时没能写入词库的 " + std::to_string(outcome.statements) + " 条释义记录";
  if (outcome.misspellings == 0)
    return written + "和 " + std::to_string(outcome.reviews) + " 条复习记录，现已补写进词库。";
  return written + "、" + std::to_string(outcome.reviews) + " 条复习记录和 " + std::to_string(outcome.misspellings) +
         " 条错题本记录，现已补写进词库。";
}

}  // namespace quorvo
