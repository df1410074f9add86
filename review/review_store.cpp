#include "review/review_store.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>
#include <map>
#include <memory>

#include "review/known_watch.h"
#include "wordstore/sql.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

constexpr const char* kCreateTable[] = {
    "CREATE TABLE IF NOT EXISTS review_card (word TEXT NOT NULL, bank TEXT NOT NULL, due INTEGER NOT NULL, "
    "stability REAL NOT NULL, difficulty REAL NOT NULL, reps INTEGER NOT NULL, lapses INTEGER NOT NULL, "
    "last_review INTEGER NOT NULL, introduced INTEGER NOT NULL, PRIMARY KEY (bank, word));"
    "CREATE INDEX IF NOT EXISTS review_card_due ON review_card (due);",
    "CREATE TABLE IF NOT EXISTS review_log (word TEXT NOT NULL, bank TEXT NOT NULL, grade INTEGER NOT NULL, "
    "reviewed_at INTEGER NOT NULL, interval INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS review_log_time ON review_log (reviewed_at);",
    "CREATE TABLE IF NOT EXISTS known_log (word TEXT NOT NULL, bank TEXT NOT NULL, known INTEGER NOT NULL, "
    "changed_at INTEGER NOT NULL, source TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS known_log_time ON known_log (changed_at);",
    "CREATE TABLE IF NOT EXISTS review_setting (key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL);",
};
constexpr int kReviewTableCount = 4;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Rows of a query until its end.
template <typename Row>
Status EachRow(Statement& s, Row row) {
  for (;;) {
    Result<bool> next = s.Step();
    if (!next.ok()) return next.status();
    if (!*next) return Status::Ok();
    row(s);
  }
}

// One known_log row per word, in whatever transaction is open.
Status InsertKnownLog(sqlite3* db, const std::string& bank, const std::vector<std::string>& words, bool known,
                      int64_t nowSeconds, const char* source) {
  // The bank, flag, time and source are the same for every row: one
  // statement takes many words at a time (a 会背 of 10,000 words is 40
  // statements, not 10,000).
  constexpr size_t kRowsPerStatement = 250;
  auto statementFor = [&](size_t rows) {
    std::string sql = "insert into known_log (word, bank, known, changed_at, source) values ";
    for (size_t i = 0; i < rows; ++i) sql += i ? ", (?, ?1, ?2, ?3, ?4)" : "(?5, ?1, ?2, ?3, ?4)";
    return sql;
  };
  std::unique_ptr<Statement> full;
  for (size_t start = 0; start < words.size(); start += kRowsPerStatement) {
    size_t rows = std::min(kRowsPerStatement, words.size() - start);
    std::unique_ptr<Statement> partial;
    Statement* s;
    if (rows == kRowsPerStatement) {
      if (!full) full = std::make_unique<Statement>(db, statementFor(rows));
      s = full.get();
    } else {
      partial = std::make_unique<Statement>(db, statementFor(rows));
      s = partial.get();
    }
    s->Bind(1, bank).Bind(2, known ? 1 : 0).Bind(3, nowSeconds).Bind(4, std::string_view(source));
    for (size_t i = 0; i < rows; ++i) s->Bind(static_cast<int>(5 + i), words[start + i]);
    Status inserted = s->Run();
    if (!inserted.ok()) return inserted;
    s->Reset();
  }
  return Status::Ok();
}

}  // namespace

int LocalDay(int64_t unixSeconds, int utcOffsetSeconds) {
  return static_cast<int>(FloorDiv(unixSeconds + utcOffsetSeconds, 86400));
}

int LocalUtcOffset(int64_t unixSeconds) {
  std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  localtime_r(&t, &local);
  return static_cast<int>(local.tm_gmtoff);
}

ReviewStore::ReviewStore(WordDatabase& db, int utcOffsetSeconds, Fsrs fsrs)
    : db_(db), utcOffset_(utcOffsetSeconds), fsrs_(std::move(fsrs)) {}

Status ReviewStore::EnsureTables() {
  Result<bool> there = HasTables();
  if (!there.ok()) return there.status();
  if (*there) return Status::Ok();
  // Inside a transaction already open (a batch) this joins it, so the
  // tables come and go with the batch.
  Transaction txn(db_.handle());
  if (!txn.began().ok()) return txn.began();
  for (const char* create : kCreateTable) {
    Status made = SqliteStatus(sqlite3_exec(db_.handle(), create, nullptr, nullptr, nullptr), db_.handle());
    if (!made.ok()) return made;
  }
  return txn.Commit();
}

Result<bool> ReviewStore::HasTables() {
  Statement s(db_.handle(),
              "select count(*) from sqlite_master where type = 'table' and name in "
              "('review_card', 'review_log', 'known_log', 'review_setting')");
  Result<bool> row = s.Step();
  if (!row.ok()) return row.status();
  return *row && s.Int(0) == kReviewTableCount;
}

Status ReviewStore::LoadCards(const std::string& bank, std::vector<ReviewCard>* cards) {
  cards->clear();
  Result<bool> there = HasTables();
  if (!there.ok()) return there.status();
  if (!*there) {
    // Some tables may be there without the rest: what cards there are count.
    Statement probe(db_.handle(), "select 1 from sqlite_master where type = 'table' and name = 'review_card'");
    Result<bool> card = probe.Step();
    if (!card.ok()) return card.status();
    if (!*card) return Status::Ok();  // a file that never saw a review
  }
  Statement s(db_.handle(),
              "select word, due, stability, difficulty, reps, lapses, last_review, introduced from review_card "
              "where bank = ?");
  s.Bind(1, bank);
  return EachRow(s, [&](Statement& r) {
    ReviewCard c;
    c.word = r.Text(0);
    c.due = static_cast<int>(r.Int(1));
    c.state = {r.Real(2), r.Real(3)};
    c.reps = static_cast<int>(r.Int(4));
    c.lapses = static_cast<int>(r.Int(5));
    c.lastReview = static_cast<int>(r.Int(6));
    c.introduced = static_cast<int>(r.Int(7));
    cards->push_back(std::move(c));
  });
}

Status ReviewStore::LoadCard(const std::string& bank, const std::string& word, ReviewCard* card, bool* found) {
  *found = false;
  Statement s(db_.handle(),
              "select due, stability, difficulty, reps, lapses, last_review, introduced from review_card "
              "where bank = ? and word = ?");
  s.Bind(1, bank).Bind(2, word);
  Result<bool> row = s.Step();
  if (!row.ok()) return row.status();
  if (*row) {
    *found = true;
    card->word = word;
    card->due = static_cast<int>(s.Int(0));
    card->state = {s.Real(1), s.Real(2)};
    card->reps = static_cast<int>(s.Int(3));
    card->lapses = static_cast<int>(s.Int(4));
    card->lastReview = static_cast<int>(s.Int(5));
    card->introduced = static_cast<int>(s.Int(6));
  }
  return Status::Ok();
}

Status ReviewStore::RecordReview(const std::string& bank, const std::string& word, Grade grade, int64_t nowSeconds,
                                 ReviewOutcome* outcome) {
  // One write transaction, taken at once: a held file fails here, before
  // anything is read, so a card is never scheduled from a stale read.
  Transaction txn(db_.handle());
  if (!txn.began().ok()) return txn.began();
  Status status = EnsureTables();
  if (!status.ok()) return status;

  int today = LocalDay(nowSeconds, utcOffset_);
  ReviewCard card;
  bool found = false;
  if (!(status = LoadCard(bank, word, &card, &found)).ok()) return status;
  Scheduled next = CurrentScheduler().Review(!found, card.state, found ? today - card.lastReview : 0, grade);
  if (!found) {
    card.word = word;
    card.introduced = today;
  }
  card.state = next.state;
  card.reps += 1;
  if (found && grade == Grade::Again) card.lapses += 1;
  card.lastReview = today;
  card.due = today + next.intervalDays;

  Statement put(db_.handle(),
                "insert or replace into review_card (word, bank, due, stability, difficulty, reps, lapses, "
                "last_review, introduced) values (?, ?, ?, ?, ?, ?, ?, ?, ?)");
  put.Bind(1, word).Bind(2, bank).Bind(3, card.due).Bind(4, card.state.stability);
  put.Bind(5, card.state.difficulty).Bind(6, card.reps).Bind(7, card.lapses);
  put.Bind(8, card.lastReview).Bind(9, card.introduced);
  if (!(status = put.Run()).ok()) return status;

  Statement log(db_.handle(),
                "insert into review_log (word, bank, grade, reviewed_at, interval) values (?, ?, ?, ?, ?)");
  log.Bind(1, word).Bind(2, bank).Bind(3, static_cast<int>(grade)).Bind(4, nowSeconds);
  log.Bind(5, next.intervalDays);
  if (!(status = log.Run()).ok()) return status;

  bool markedKnown = false;
  if (next.intervalDays > kKnownAfterDays) {
    // Only a word not known yet changes, and only a change is logged.
    Statement mark(db_.handle(),
                   "update " + BankIdentifier(bank) + " set known = 1 where value = ? and cast(known as text) = '0'");
    mark.Bind(1, word);
    // A bank that is gone leaves the flag alone; the review itself stands.
    if (mark.prepared().ok()) {
      if (!(status = mark.Run()).ok()) return status;
      if (sqlite3_changes(db_.handle()) > 0) {
        if (!(status = InsertKnownLog(db_.handle(), bank, {word}, true, nowSeconds, "review")).ok()) return status;
        markedKnown = true;
      }
    }
  }
  if (!(status = txn.Commit()).ok()) return status;
  if (outcome) *outcome = {card, next.intervalDays, markedKnown};
  return Status::Ok();
}

Status ReviewStore::LogKnownChanges(const std::string& bank, const std::vector<std::string>& words, bool known,
                                    int64_t nowSeconds) {
  Transaction txn(db_.handle());
  if (!txn.began().ok()) return txn.began();
  Status status = EnsureTables();
  if (!status.ok()) return status;
  if (!(status = InsertKnownLog(db_.handle(), bank, words, known, nowSeconds, "hand")).ok()) return status;
  return txn.Commit();
}

Status ReviewStore::MarkKnownAndLog(const std::string& bank, const std::vector<std::string>& words,
                                    int64_t nowSeconds) {
  // Only words that were not known yet are a change worth logging. The log
  // rows go into the batch: the known flags and their log are committed
  // together.
  auto logChanges = [&](const std::function<Status()>& updates) -> Status {
    std::vector<std::string> changed;
    bool watched = false;
    {
      KnownWatch watch(db_.handle(), bank);
      if ((watched = watch.Active())) {
        Status updated = updates();
        if (!updated.ok()) return updated;
        changed = watch.Changed();
      }
    }
    if (!watched) {
      // No watch to be had: each word is looked at before the updates.
      Statement s(db_.handle(),
                  "select 1 from " + BankIdentifier(bank) + " where value = ? and cast(known as text) = '0'");
      for (const auto& word : words) {
        if (!s.prepared().ok()) break;  // no such bank: the updates say so
        s.Bind(1, word);
        Result<bool> row = s.Step();
        if (!row.ok()) return row.status();
        if (*row) changed.push_back(word);
        s.Reset();
      }
      Status updated = updates();
      if (!updated.ok()) return updated;
    }
    // Nothing to log: no tables are needed either.
    if (changed.empty()) return Status::Ok();
    Status status = EnsureTables();
    if (!status.ok()) return status;
    return InsertKnownLog(db_.handle(), bank, changed, true, nowSeconds, "hand");
  };
  return MarkKnown(db_, bank, words, logChanges);
}

int ReviewStore::NewCardsPerDay() {
  Statement s(db_.handle(), "select value from review_setting where key = 'new_per_day'");
  Result<bool> row = s.Step();
  if (row.ok() && *row) return static_cast<int>(s.Int(0));
  return kDefaultNewCardsPerDay;
}

Status ReviewStore::SetNewCardsPerDay(int count) {
  Transaction txn(db_.handle());
  if (!txn.began().ok()) return txn.began();
  Status status = EnsureTables();
  if (!status.ok()) return status;
  Statement s(db_.handle(), "insert or replace into review_setting (key, value) values ('new_per_day', ?)");
  s.Bind(1, count < 0 ? 0 : count);
  if (!(status = s.Run()).ok()) return status;
  return txn.Commit();
}

Status ReviewStore::FittedWeights(FsrsWeights* weights, bool* found) {
  *found = false;
  Statement s(db_.handle(), "select value from review_setting where key = 'fsrs_weights'");
  if (s.prepared().code() == StatusCode::kRejected) return Status::Ok();  // no review_setting yet
  Result<bool> row = s.Step();
  if (!row.ok()) return row.status();
  if (*row) *found = ParseFsrsWeights(s.Text(0), weights);
  return Status::Ok();
}

Status ReviewStore::SetFittedWeights(const FsrsWeights& weights) {
  if (!ValidFsrsWeights(weights)) return Status(StatusCode::kRefused, "weights out of their bounds");
  Transaction txn(db_.handle());
  if (!txn.began().ok()) return txn.began();
  Status status = EnsureTables();
  if (!status.ok()) return status;
  Statement s(db_.handle(), "insert or replace into review_setting (key, value) values ('fsrs_weights', ?)");
  s.Bind(1, FormatFsrsWeights(weights));
  if (!(status = s.Run()).ok()) return status;
  return txn.Commit();
}

Status ReviewStore::ClearFittedWeights() {
  Statement s(db_.handle(), "delete from review_setting where key = 'fsrs_weights'");
  if (s.prepared().code() == StatusCode::kRejected) return Status::Ok();  // nothing stored
  return s.Run();
}

bool ReviewStore::StoredRetention(double* retention) {
  Statement s(db_.handle(), "select value from review_setting where key = 'retention_permille'");
  Result<bool> row = s.Step();
  if (!row.ok() || !*row) return false;
  double r = static_cast<double>(s.Int(0)) / 1000;
  if (!(r >= kMinDesiredRetention && r <= kMaxDesiredRetention)) return false;
  *retention = r;
  return true;
}

double ReviewStore::DesiredRetention() {
  double r = kDefaultDesiredRetention;
  StoredRetention(&r);
  return r;
}

Status ReviewStore::SetDesiredRetention(double retention) {
  if (!(retention >= kMinDesiredRetention && retention <= kMaxDesiredRetention))
    return Status(StatusCode::kRefused, "retention out of 0.80..0.97");
  int permille = static_cast<int>(std::lround(retention * 1000));
  Transaction txn(db_.handle());
  if (!txn.began().ok()) return txn.began();
  Status status = EnsureTables();
  if (!status.ok()) return status;
  Statement s(db_.handle(), "insert or replace into review_setting (key, value) values ('retention_permille', ?)");
  s.Bind(1, permille);
  if (!(status = s.Run()).ok()) return status;
  return txn.Commit();
}

Fsrs ReviewStore::CurrentScheduler() {
  Fsrs scheduler = fsrs_;
  FsrsParameters p = scheduler.Parameters();
  bool found = false;
  FsrsWeights weights;
  if (FittedWeights(&weights, &found).ok() && found) p.w = weights;
  StoredRetention(&p.desiredRetention);
  scheduler.SetParameters(p);
  return scheduler;
}

Status ReviewStore::LoadReviewLog(std::vector<LoggedReview>* rows) {
  rows->clear();
  Statement s(db_.handle(), "select word, bank, grade, reviewed_at from review_log order by reviewed_at, rowid");
  if (s.prepared().code() == StatusCode::kRejected) return Status::Ok();  // never reviewed
  return EachRow(s, [&](Statement& r) {
    rows->push_back({r.Text(0), r.Text(1), static_cast<int>(r.Int(2)), r.Int(3)});
  });
}

Status ReviewStore::ReviewsByDay(int fromDay, std::vector<DayReviews>* days) {
  days->clear();
  Statement s(db_.handle(),
              "select (reviewed_at + ?1) / 86400 as day, count(*), sum(grade > 1) from review_log "
              "where reviewed_at >= ?2 group by day order by day");
  s.Bind(1, utcOffset_).Bind(2, int64_t{fromDay} * 86400 - utcOffset_);
  return EachRow(s, [&](Statement& r) {
    days->push_back({static_cast<int>(r.Int(0)), static_cast<int>(r.Int(1)), static_cast<int>(r.Int(2))});
  });
}

Status ReviewStore::KnownChangesByDay(int fromDay, std::vector<DayCount>* days) {
  days->clear();
  Statement s(db_.handle(),
              "select (changed_at + ?1) / 86400 as day, sum(case when known then 1 else -1 end) from known_log "
              "where changed_at >= ?2 group by day order by day");
  s.Bind(1, utcOffset_).Bind(2, int64_t{fromDay} * 86400 - utcOffset_);
  return EachRow(s, [&](Statement& r) { days->push_back({static_cast<int>(r.Int(0)), static_cast<int>(r.Int(1))}); });
}

Status ReviewStore::DueByDay(int untilDay, std::vector<DayCount>* days) {
  days->clear();
  std::vector<std::string> banks;
  Statement list(db_.handle(), "select distinct bank from review_card");
  Status status = EachRow(list, [&](Statement& r) { banks.push_back(r.Text(0)); });
  if (!status.ok()) return status;
  std::map<int, int> due;
  for (const auto& bank : banks) {
    Statement s(db_.handle(),
                "select due, count(*) from review_card where bank = ? and due < ? and word in "
                "(select value from " +
                    BankIdentifier(bank) + ") group by due");
    if (s.prepared().code() == StatusCode::kRejected) continue;  // the bank is gone: none of its cards is due
    s.Bind(1, bank).Bind(2, untilDay);
    status = EachRow(s, [&](Statement& r) { due[static_cast<int>(r.Int(0))] += static_cast<int>(r.Int(1)); });
    if (!status.ok()) return status;
  }
  for (const auto& [day, count] : due) days->push_back({day, count});
  return Status::Ok();
}

Status ReviewStore::BanksProgress(const std::vector<std::string>& banks,
                                  const std::function<bool(std::string_view)>& isKnown,
                                  std::vector<BankProgress>* progress) {
  progress->clear();
  for (const auto& bank : banks) {
    Statement s(db_.handle(), "select value from " + BankIdentifier(bank));
    if (s.prepared().code() == StatusCode::kRejected) continue;  // not a bank of the word layout
    BankProgress counts{bank};
    for (;;) {
      Result<bool> row = s.Step();
      if (!row.ok()) return row.status();
      if (!*row) break;
      ++(isKnown(s.Text(0)) ? counts.known : counts.unknown);
    }
    progress->push_back(std::move(counts));
  }
  return Status::Ok();
}

}  // namespace quorvo
