#include "review/misspelling_book.h"

#include "review/review_store.h"
#include "wordstore/sql.h"

namespace quorvo {
namespace {

// Whether the file has the book's tables; a failed read says why.
Result<bool> TablesExist(WordDatabase& db) {
  Statement probe(db.handle(), "select 1 from sqlite_master where type = 'table' and name = 'review_misspelling'");
  if (!probe.prepared().ok()) return probe.prepared();
  return probe.Step();
}

Result<bool> InBook(WordDatabase& db, std::string_view bank, std::string_view word) {
  Result<bool> tables = TablesExist(db);
  if (!tables.ok() || !*tables) return tables;
  Statement select(db.handle(), "select 1 from review_misspelling where bank = ? and word = ?");
  if (!select.prepared().ok()) return select.prepared();
  select.Bind(1, bank).Bind(2, word);
  return select.Step();
}

}  // namespace

Status MisspellingBook::Prepare() {
  return db_.Run(
      "CREATE TABLE IF NOT EXISTS review_misspelling (bank TEXT NOT NULL, word TEXT NOT NULL, "
      "count INTEGER NOT NULL, last_at INTEGER NOT NULL, right_days INTEGER NOT NULL DEFAULT 0, "
      "right_day INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (bank, word)); "
      "CREATE TABLE IF NOT EXISTS review_misspelling_log (bank TEXT NOT NULL, word TEXT NOT NULL, "
      "at INTEGER NOT NULL, day INTEGER NOT NULL)");
}

Status MisspellingBook::RecordMistake(std::string_view bank, std::string_view word, int64_t at) {
  if (!db_.IsOpen()) return SqliteStatus(SQLITE_MISUSE);
  // Taken at once (a held file fails here); joins the transaction of a
  // replay that writes several.
  Transaction txn(db_.handle());
  if (!txn.began().ok()) return txn.began();
  Status done = Prepare();
  if (!done.ok()) return done;
  Statement put(db_.handle(),
                "insert into review_misspelling (bank, word, count, last_at) values (?1, ?2, 1, ?3) "
                "on conflict (bank, word) do update set count = count + 1, last_at = ?3, right_days = 0, "
                "right_day = 0");
  put.Bind(1, bank).Bind(2, word).Bind(3, at);
  if (!(done = put.Run()).ok()) return done;
  Statement log(db_.handle(), "insert into review_misspelling_log (bank, word, at, day) values (?, ?, ?, ?)");
  log.Bind(1, bank).Bind(2, word).Bind(3, at).Bind(4, LocalDay(at, utcOffset_));
  if (!(done = log.Run()).ok()) return done;
  return txn.Commit();
}

Status MisspellingBook::RecordRight(std::string_view bank, std::string_view word, int64_t at) {
  if (!db_.IsOpen()) return Status::Ok();
  // A file that cannot be read now is not taken for one without the word.
  Result<bool> listed = InBook(db_, bank, word);
  if (!listed.ok()) return listed.status();
  if (!*listed) return Status::Ok();
  int day = LocalDay(at, utcOffset_);
  Transaction txn(db_.handle());
  if (!txn.began().ok()) return txn.began();
  Statement count(db_.handle(),
                  "update review_misspelling set right_days = right_days + 1, right_day = ?3 "
                  "where bank = ?1 and word = ?2 and right_day != ?3");
  count.Bind(1, bank).Bind(2, word).Bind(3, day);
  Status done = count.Run();
  if (!done.ok()) return done;
  Statement leave(db_.handle(), "delete from review_misspelling where bank = ? and word = ? and right_days >= ?");
  leave.Bind(1, bank).Bind(2, word).Bind(3, kRightDaysToLeave);
  if (!(done = leave.Run()).ok()) return done;
  return txn.Commit();
}

Status MisspellingBook::Record(const PendingMisspelling& outcome) {
  return outcome.right ? RecordRight(outcome.bank, outcome.word, outcome.at)
                       : RecordMistake(outcome.bank, outcome.word, outcome.at);
}

Status MisspellingRecorder::Record(PendingMisspelling outcome) {
  pending_.push_back(std::move(outcome));
  return RetryPending();
}

Status MisspellingRecorder::RetryPending() {
  while (!pending_.empty()) {
    Status written = book_.Record(pending_.front());
    if (!written.ok()) return written;
    pending_.pop_front();
  }
  return Status::Ok();
}

std::vector<PendingMisspelling> MisspellingRecorder::TakePending() {
  std::vector<PendingMisspelling> taken(pending_.begin(), pending_.end());
  pending_.clear();
  return taken;
}

std::vector<Misspelling> MisspellingBook::Words(std::string_view bank) {
  std::vector<Misspelling> words;
  if (!db_.IsOpen() || !TablesExist(db_).value_or(false)) return words;
  Statement select(db_.handle(),
                   "select word, count, last_at, right_days from review_misspelling where bank = ? "
                   "order by count desc, last_at desc");
  select.Bind(1, bank);
  for (;;) {
    Result<bool> row = select.Step();
    if (!row.ok() || !*row) break;
    words.push_back({select.Text(0), static_cast<int>(select.Int(1)), select.Int(2), static_cast<int>(select.Int(3))});
  }
  return words;
}

bool MisspellingBook::Contains(std::string_view bank, std::string_view word) {
  return db_.IsOpen() && InBook(db_, bank, word).value_or(false);
}

std::vector<std::pair<int, int>> MisspellingBook::MistakesPerDay(int firstDay, int lastDay) {
  std::vector<std::pair<int, int>> days;
  if (!db_.IsOpen() || !TablesExist(db_).value_or(false)) return days;
  Statement select(db_.handle(),
                   "select day, count(*) from review_misspelling_log where day between ? and ? group by day "
                   "order by day");
  select.Bind(1, firstDay).Bind(2, lastDay);
  for (;;) {
    Result<bool> row = select.Step();
    if (!row.ok() || !*row) break;
    days.emplace_back(static_cast<int>(select.Int(0)), static_cast<int>(select.Int(1)));
  }
  return days;
}

}  // namespace quorvo
