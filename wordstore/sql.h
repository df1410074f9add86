// The SQL layer every statement of the word store goes through.
//
//  - SqliteStatus turns a library result code into a Status (a full disk, a
//    read-only file, a file another program holds, a damaged file, ...).
//  - ConnectionLock holds a connection's own (recursive) mutex for its life,
//    so that a few statements run with no other thread's statement between
//    them; it is left on every exit, exceptions included.
//  - Statement owns one prepared statement with bound values. Used wherever
//    a value is not part of a fixed statement text of the word banks.
//  - Transaction begins a transaction and rolls it back on every exit but an
//    explicit, successful Commit(). Inside a transaction that is already
//    open on the connection it joins that one and leaves its end to it.
//
// A Statement and a Transaction are used by one thread at a time, on the
// connection they were made for, and must not outlive it.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/status.h"

namespace quorvo {

// What rc means for the learner; the connection, when given, adds the
// library's own text to the message. SQLITE_OK, SQLITE_ROW and SQLITE_DONE
// are Ok.
Status SqliteStatus(int rc, sqlite3* db = nullptr, std::string_view what = {});

class ConnectionLock {
 public:
  explicit ConnectionLock(sqlite3* db) : mutex_(db ? sqlite3_db_mutex(db) : nullptr) {
    if (mutex_) sqlite3_mutex_enter(mutex_);
  }
  ~ConnectionLock() {
    if (mutex_) sqlite3_mutex_leave(mutex_);
  }
  ConnectionLock(const ConnectionLock&) = delete;
  ConnectionLock& operator=(const ConnectionLock&) = delete;

 private:
  sqlite3_mutex* mutex_;
};

class Statement {
 public:
  // Prepares the first statement of sql; prepared() says how that went.
  Statement(sqlite3* db, std::string_view sql);
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  const Status& prepared() const { return prepared_; }

  // Values are bound by position, counted from 1; text is bound as the
  // bytes it holds.
  Statement& Bind(int index, std::string_view text);
  Statement& Bind(int index, int64_t value);
  Statement& Bind(int index, int value) { return Bind(index, int64_t{value}); }
  Statement& Bind(int index, double value);

  // The next row: true while there is one, false at the end, or the failure.
  Result<bool> Step();
  // Runs a statement that returns no rows (or ignores them).
  Status Run();
  // Makes the statement ready to run again, its bindings cleared.
  void Reset();

  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  double Real(int column) const { return sqlite3_column_double(stmt_, column); }
  std::string Text(int column) const;
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  int Columns() const { return stmt_ ? sqlite3_column_count(stmt_) : 0; }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  Status prepared_;
};

class Transaction {
 public:
  enum class Kind { kDeferred, kImmediate };
  // Holds the connection's mutex for its life. kImmediate takes the write
  // lock at once, so a held file fails here and not half-way through.
  explicit Transaction(sqlite3* db, Kind kind = Kind::kImmediate);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  const Status& began() const { return began_; }
  // True when it joined a transaction that was already open.
  bool joined() const { return joined_; }
  // Commits (a joined transaction: nothing to do). A failed commit that left
  // the transaction open is rolled back, so the connection never stays
  // inside a transaction that later statements would join.
  Status Commit();

 private:
  sqlite3* db_;
  ConnectionLock lock_;
  Status began_;
  bool joined_ = false;
  bool done_ = false;
};

}  // namespace quorvo
