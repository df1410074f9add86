#include "wordstore/sql.h"

namespace quorvo {

Status SqliteStatus(int rc, sqlite3* db, std::string_view what) {
  if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return Status::Ok();
  StatusCode code;
  switch (rc & 0xff) {
    case SQLITE_FULL:
      code = StatusCode::kDiskFull;
      break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      code = StatusCode::kReadOnly;
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      code = StatusCode::kBusy;
      break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
      code = StatusCode::kDamaged;
      break;
    case SQLITE_CANTOPEN:
      code = StatusCode::kNotFound;
      break;
    case SQLITE_INTERRUPT:
    case SQLITE_ABORT:
      code = StatusCode::kCancelled;
      break;
    case SQLITE_ERROR:
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_MISUSE:
    case SQLITE_RANGE:
    case SQLITE_TOOBIG:
      code = StatusCode::kRejected;
      break;
    default:  // SQLITE_IOERR, SQLITE_NOMEM, SQLITE_PROTOCOL, ...
      code = StatusCode::kIoError;
      break;
  }
  std::string message(what);
  if (!message.empty()) message += ": ";
  // The connection's text belongs to its latest failure, which is this one
  // when the caller holds the connection's mutex.
  message += db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  return Status(code, std::move(message));
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
  if (!db) {
    prepared_ = Status(StatusCode::kRejected, "no open word database");
    return;
  }
  int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
  if (rc != SQLITE_OK) {
    prepared_ = SqliteStatus(rc, db, "prepare");
  } else if (!stmt_) {
    prepared_ = Status(StatusCode::kRejected, "no statement in the text");
  }
}

Statement& Statement::Bind(int index, std::string_view text) {
  if (stmt_) sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::Bind(int index, int64_t value) {
  if (stmt_) sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Statement& Statement::Bind(int index, double value) {
  if (stmt_) sqlite3_bind_double(stmt_, index, value);
  return *this;
}

Result<bool> Statement::Step() {
  if (!prepared_.ok()) return prepared_;
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  return SqliteStatus(rc, db_);
}

Status Statement::Run() {
  if (!prepared_.ok()) return prepared_;
  int rc;
  do rc = sqlite3_step(stmt_);
  while (rc == SQLITE_ROW);
  if (rc == SQLITE_DONE) return Status::Ok();
  return SqliteStatus(rc, db_);
}

void Statement::Reset() {
  if (!stmt_) return;
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::string Statement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(stmt_, column);
  if (!text) return {};
  return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

Transaction::Transaction(sqlite3* db, Kind kind) : db_(db), lock_(db) {
  if (!db) {
    began_ = Status(StatusCode::kRejected, "no open word database");
    return;
  }
  joined_ = !sqlite3_get_autocommit(db);
  if (joined_) return;
  int rc = sqlite3_exec(db, kind == Kind::kImmediate ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr, nullptr);
  began_ = SqliteStatus(rc, db, "begin");
}

Transaction::~Transaction() {
  if (!db_ || !began_.ok() || joined_ || done_) return;
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

Status Transaction::Commit() {
  if (!began_.ok()) return began_;
  if (joined_) return Status::Ok();
  int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  Status status = SqliteStatus(rc, db_, "commit");
  if (!status.ok() && !sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  done_ = true;
  return status;
}

}  // namespace quorvo
