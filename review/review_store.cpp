#include "review/review_store.h"

#include <cmath>
#include <ctime>
#include <functional>

#include "review/known_watch.h"
#include "wordstore/word_bank.h"

namespace quorvo {
namespace {

// Short-lived owner of one prepared statement.
class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) {
    rc_ = db ? sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr) : SQLITE_MISUSE;
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  int Prepared() const { return rc_; }
  Statement& Bind(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Bind(int i, int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Statement& Bind(int i, double v) {
    sqlite3_bind_double(stmt_, i, v);
    return *this;
  }
  int Step() { return stmt_ ? sqlite3_step(stmt_) : rc_; }
  // Runs a statement that returns no rows: SQLITE_OK or the failure.
  int Run() {
    if (rc_ != SQLITE_OK) return rc_;
    int rc = Step();
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
  }
  void Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  int64_t Int(int c) const { return sqlite3_column_int64(stmt_, c); }
  double Real(int c) const { return sqlite3_column_double(stmt_, c); }
  std::string Text(int c) const {
    const unsigned char* t = sqlite3_column_text(stmt_, c);
    return t ? std::string(reinterpret_cast<const char*>(t), sqlite3_column_bytes(stmt_, c)) : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_OK;
};

// Rows of a query until its end: SQLITE_OK, or the failure.
template <typename Row>
int EachRow(Statement& s, Row row) {
  if (s.Prepared() != SQLITE_OK) return s.Prepared();
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) row(s);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

constexpr char kCreateTables[] =
    "CREATE TABLE IF NOT EXISTS review_card (word TEXT NOT NULL, bank TEXT NOT NULL, due INTEGER NOT NULL, "
    "stability REAL NOT NULL, difficulty REAL NOT NULL, reps INTEGER NOT NULL, lapses INTEGER NOT NULL, "
    "last_review INTEGER NOT NULL, introduced INTEGER NOT NULL, PRIMARY KEY (bank, word));"
    "CREATE INDEX IF NOT EXISTS review_card_due ON review_card (due);"
    "CREATE TABLE IF NOT EXISTS review_log (word TEXT NOT NULL, bank TEXT NOT NULL, grade INTEGER NOT NULL, "
    "reviewed_at INTEGER NOT NULL, interval INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS review_log_time ON review_log (reviewed_at);"
    "CREATE TABLE IF NOT EXISTS known_log (word TEXT NOT NULL, bank TEXT NOT NULL, known INTEGER NOT NULL, "
    "changed_at INTEGER NOT NULL, source TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS known_log_time ON known_log (changed_at);"
    "CREATE TABLE IF NOT EXISTS review_setting (key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL);";

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Begins a write transaction at once, so that a locked file fails here and
// not half-way through. Holds the connection's (recursive) mutex for its
// life, so the word-bank page's lookup workers keep off meanwhile; inside a
// transaction already open on the connection (a batch or a write group) it
// joins that one instead.
class WriteTransaction {
 public:
  explicit WriteTransaction(sqlite3* db) : db_(db) {
    if (!db) {
      rc_ = SQLITE_MISUSE;
      return;
    }
    sqlite3_mutex_enter(sqlite3_db_mutex(db));
    joined_ = !sqlite3_get_autocommit(db);
    rc_ = joined_ ? SQLITE_OK : sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  }
  ~WriteTransaction() {
    if (!db_) return;
    if (rc_ == SQLITE_OK && !done_ && !joined_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_mutex_leave(sqlite3_db_mutex(db_));
  }
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  int Began() const { return rc_; }
  int Commit() {
    int rc = joined_ ? SQLITE_OK : sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) done_ = true;
    return rc;
  }

 private:
  sqlite3* db_;
  int rc_ = SQLITE_OK;
  bool joined_ = false;
  bool done_ = false;
};

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

int ReviewStore::EnsureTables() {
  if (!db_.IsOpen()) return SQLITE_MISUSE;
  return sqlite3_exec(db_.handle(), kCreateTables, nullptr, nullptr, nullptr);
}

bool ReviewStore::HasTables() {
  Statement s(db_.handle(), "select count(*) from sqlite_master where type = 'table' and name = 'review_card'");
  return s.Prepared() == SQLITE_OK && s.Step() == SQLITE_ROW && s.Int(0) > 0;
}

int ReviewStore::LoadCards(const std::string& bank, std::vector<ReviewCard>* cards) {
  cards->clear();
  Statement s(db_.handle(),
              "select word, due, stability, difficulty, reps, lapses, last_review, introduced from review_card "
              "where bank = ?");
  if (s.Prepared() != SQLITE_OK) return s.Prepared();
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

int ReviewStore::LoadCard(const std::string& bank, const std::string& word, ReviewCard* card, bool* found) {
  *found = false;
  Statement s(db_.handle(),
              "select due, stability, difficulty, reps, lapses, last_review, introduced from review_card "
              "where bank = ? and word = ?");
  if (s.Prepared() != SQLITE_OK) return s.Prepared();
  s.Bind(1, bank).Bind(2, word);
  int rc = s.Step();
  if (rc == SQLITE_ROW) {
    *found = true;
    card->word = word;
    card->due = static_cast<int>(s.Int(0));
    card->state = {s.Real(1), s.Real(2)};
    card->reps = static_cast<int>(s.Int(3));
    card->lapses = static_cast<int>(s.Int(4));
    card->lastReview = static_cast<int>(s.Int(5));
    card->introduced = static_cast<int>(s.Int(6));
    return SQLITE_OK;
  }
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int ReviewStore::RecordReview(const std::string& bank, const std::string& word, Grade grade, int64_t nowSeconds,
                              ReviewOutcome* outcome) {
  int rc = EnsureTables();
  if (rc != SQLITE_OK) return rc;
  WriteTransaction txn(db_.handle());
  if (txn.Began() != SQLITE_OK) return txn.Began();

  int today = LocalDay(nowSeconds, utcOffset_);
  ReviewCard card;
  bool found = false;
  if ((rc = LoadCard(bank, word, &card, &found)) != SQLITE_OK) return rc;
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
  put.Bind(1, word).Bind(2, bank).Bind(3, int64_t{card.due}).Bind(4, card.state.stability);
  put.Bind(5, card.state.difficulty).Bind(6, int64_t{card.reps}).Bind(7, int64_t{card.lapses});
  put.Bind(8, int64_t{card.lastReview}).Bind(9, int64_t{card.introduced});
  if ((rc = put.Run()) != SQLITE_OK) return rc;

  Statement log(db_.handle(),
                "insert into review_log (word, bank, grade, reviewed_at, interval) values (?, ?, ?, ?, ?)");
  log.Bind(1, word).Bind(2, bank).Bind(3, int64_t{static_cast<int>(grade)}).Bind(4, nowSeconds);
  log.Bind(5, int64_t{next.intervalDays});
  if ((rc = log.Run()) != SQLITE_OK) return rc;

  bool markedKnown = false;
  if (next.intervalDays > kKnownAfterDays) {
    // Only a word not known yet changes, and only a change is logged.
    Statement mark(db_.handle(),
                   "update " + BankIdentifier(bank) + " set known = 1 where value = ? and cast(known as text) = '0'");
    mark.Bind(1, word);
    // A bank that is gone leaves the flag alone; the review itself stands.
    if (mark.Prepared() == SQLITE_OK) {
      if ((rc = mark.Run()) != SQLITE_OK) return rc;
      if (sqlite3_changes(db_.handle()) > 0) {
        Statement known(db_.handle(),
                        "insert into known_log (word, bank, known, changed_at, source) values (?, ?, 1, ?, 'review')");
        known.Bind(1, word).Bind(2, bank).Bind(3, nowSeconds);
        if ((rc = known.Run()) != SQLITE_OK) return rc;
        markedKnown = true;
      }
    }
  }
  if ((rc = txn.Commit()) != SQLITE_OK) return rc;
  if (outcome) *outcome = {card, next.intervalDays, markedKnown};
  return SQLITE_OK;
}

namespace {

// One known_log row per word, in whatever transaction is open.
int InsertKnownLog(sqlite3* db, const std::string& bank, const std::vector<std::string>& words, bool known,
                   int64_t nowSeconds) {
  Statement s(db, "insert into known_log (word, bank, known, changed_at, source) values (?, ?, ?, ?, 'hand')");
  int rc = SQLITE_OK;
  for (const auto& word : words) {
    s.Bind(1, word).Bind(2, bank).Bind(3, int64_t{known ? 1 : 0}).Bind(4, nowSeconds);
    if ((rc = s.Run()) != SQLITE_OK) return rc;
    s.Reset();
  }
  return rc;
}

}  // namespace

int ReviewStore::LogKnownChanges(const std::string& bank, const std::vector<std::string>& words, bool known,
                                 int64_t nowSeconds) {
  int rc = EnsureTables();
  if (rc != SQLITE_OK) return rc;
  WriteTransaction txn(db_.handle());
  if (txn.Began() != SQLITE_OK) return txn.Began();
  if ((rc = InsertKnownLog(db_.handle(), bank, words, known, nowSeconds)) != SQLITE_OK) return rc;
  return txn.Commit();
}

int ReviewStore::MarkKnownAndLog(const std::string& bank, const std::vector<std::string>& words, int64_t nowSeconds) {
  SilentBoxes silent;
  return MarkKnownAndLog(bank, words, nowSeconds, silent);
}

int ReviewStore::MarkKnownAndLog(const std::string& bank, const std::vector<std::string>& words, int64_t nowSeconds,
                                 MessageBoxes& boxes) {
  // Only words that were not known yet are a change worth logging. The log
  // rows go into the batch: the known flags and their log are committed
  // together.
  int logged = SQLITE_OK;
  auto logChanges = [&](const std::function<void()>& updates) {
    std::vector<std::string> changed;
    bool watched = false;
    {
      KnownWatch watch(db_.handle(), bank);
      if ((watched = watch.Active())) {
        updates();
        changed = watch.Changed();
      }
    }
    if (!watched) {
      // No watch to be had: each word is looked at before the updates.
      Statement s(db_.handle(),
                  "select 1 from " + BankIdentifier(bank) + " where value = ? and cast(known as text) = '0'");
      for (const auto& word : words) {
        if (s.Prepared() != SQLITE_OK) break;  // no such bank
        s.Bind(1, word);
        if (s.Step() == SQLITE_ROW) changed.push_back(word);
        s.Reset();
      }
      updates();
    }
    // Nothing to log: no tables are needed either.
    if (changed.empty() || (logged = EnsureTables()) != SQLITE_OK) return;
    logged = InsertKnownLog(db_.handle(), bank, changed, true, nowSeconds);
  };
  if (!MarkKnown(db_, bank, words, boxes, logChanges)) return SQLITE_ERROR;
  return logged;
}

int ReviewStore::NewCardsPerDay() {
  Statement s(db_.handle(), "select value from review_setting where key = 'new_per_day'");
  if (s.Prepared() == SQLITE_OK && s.Step() == SQLITE_ROW) return static_cast<int>(s.Int(0));
  return kDefaultNewCardsPerDay;
}

int ReviewStore::SetNewCardsPerDay(int count) {
  int rc = EnsureTables();
  if (rc != SQLITE_OK) return rc;
  Statement s(db_.handle(), "insert or replace into review_setting (key, value) values ('new_per_day', ?)");
  s.Bind(1, int64_t{count < 0 ? 0 : count});
  return s.Run();
}

int ReviewStore::FittedWeights(FsrsWeights* weights, bool* found) {
  *found = false;
  if (!HasTables()) return SQLITE_OK;
  Statement s(db_.handle(), "select value from review_setting where key = 'fsrs_weights'");
  if (s.Prepared() != SQLITE_OK) return s.Prepared();
  int rc = s.Step();
  if (rc == SQLITE_ROW) {
    *found = ParseFsrsWeights(s.Text(0), weights);
    return SQLITE_OK;
  }
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int ReviewStore::SetFittedWeights(const FsrsWeights& weights) {
  if (!ValidFsrsWeights(weights)) return SQLITE_MISUSE;
  int rc = EnsureTables();
  if (rc != SQLITE_OK) return rc;
  Statement s(db_.handle(), "insert or replace into review_setting (key, value) values ('fsrs_weights', ?)");
  s.Bind(1, FormatFsrsWeights(weights));
  return s.Run();
}

int ReviewStore::ClearFittedWeights() {
  if (!HasTables()) return SQLITE_OK;
  Statement s(db_.handle(), "delete from review_setting where key = 'fsrs_weights'");
  return s.Run();
}

bool ReviewStore::StoredRetention(double* retention) {
  Statement s(db_.handle(), "select value from review_setting where key = 'retention_permille'");
  if (s.Prepared() != SQLITE_OK || s.Step() != SQLITE_ROW) return false;
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

int ReviewStore::SetDesiredRetention(double retention) {
  if (!(retention >= kMinDesiredRetention && retention <= kMaxDesiredRetention)) return SQLITE_MISUSE;
  int permille = static_cast<int>(std::lround(retention * 1000));
  int rc = EnsureTables();
  if (rc != SQLITE_OK) return rc;
  Statement s(db_.handle(), "insert or replace into review_setting (key, value) values ('retention_permille', ?)");
  s.Bind(1, int64_t{permille});
  return s.Run();
}

Fsrs ReviewStore::CurrentScheduler() {
  Fsrs scheduler = fsrs_;
  FsrsParameters p = scheduler.Parameters();
  bool found = false;
  FsrsWeights weights;
  if (FittedWeights(&weights, &found) == SQLITE_OK && found) p.w = weights;
  StoredRetention(&p.desiredRetention);
  scheduler.SetParameters(p);
  return scheduler;
}

int ReviewStore::LoadReviewLog(std::vector<LoggedReview>* rows) {
  rows->clear();
  if (!HasTables()) return SQLITE_OK;
  Statement s(db_.handle(), "select word, bank, grade, reviewed_at from review_log order by reviewed_at, rowid");
  return EachRow(s, [&](Statement& r) {
    rows->push_back({r.Text(0), r.Text(1), static_cast<int>(r.Int(2)), r.Int(3)});
  });
}

int ReviewStore::ReviewsByDay(int fromDay, std::vector<DayReviews>* days) {
  days->clear();
  Statement s(db_.handle(),
              "select (reviewed_at + ?1) / 86400 as day, count(*), sum(grade > 1) from review_log "
              "where reviewed_at >= ?2 group by day order by day");
  if (s.Prepared() != SQLITE_OK) return s.Prepared();
  s.Bind(1, int64_t{utcOffset_}).Bind(2, int64_t{fromDay} * 86400 - utcOffset_);
  return EachRow(s, [&](Statement& r) {
    days->push_back({static_cast<int>(r.Int(0)), static_cast<int>(r.Int(1)), static_cast<int>(r.Int(2))});
  });
}

int ReviewStore::KnownChangesByDay(int fromDay, std::vector<DayCount>* days) {
  days->clear();
  Statement s(db_.handle(),
              "select (changed_at + ?1) / 86400 as day, sum(case when known then 1 else -1 end) from known_log "
              "where changed_at >= ?2 group by day order by day");
  if (s.Prepared() != SQLITE_OK) return s.Prepared();
  s.Bind(1, int64_t{utcOffset_}).Bind(2, int64_t{fromDay} * 86400 - utcOffset_);
  return EachRow(s, [&](Statement& r) { days->push_back({static_cast<int>(r.Int(0)), static_cast<int>(r.Int(1))}); });
}

int ReviewStore::DueByDay(int untilDay, std::vector<DayCount>* days) {
  days->clear();
  Statement s(db_.handle(), "select due, count(*) from review_card where due < ? group by due order by due");
  if (s.Prepared() != SQLITE_OK) return s.Prepared();
  s.Bind(1, int64_t{untilDay});
  return EachRow(s, [&](Statement& r) { days->push_back({static_cast<int>(r.Int(0)), static_cast<int>(r.Int(1))}); });
}

int ReviewStore::BanksProgress(const std::vector<std::string>& banks, std::vector<BankProgress>* progress) {
  progress->clear();
  for (const auto& bank : banks) {
    // The word-bank page shows "不会" for a known text of exactly "0".
    Statement s(db_.handle(),
                "select count(*), coalesce(sum(cast(known as text) = '0'), 0) from " + BankIdentifier(bank));
    if (s.Prepared() != SQLITE_OK) continue;  // not a bank of the word layout
    if (s.Step() == SQLITE_ROW) {
      int total = static_cast<int>(s.Int(0));
      int unknown = static_cast<int>(s.Int(1));
      progress->push_back({bank, total - unknown, unknown});
    }
  }
  return SQLITE_OK;
}

}  // namespace quorvo
