#include "wordstore/word_database.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "base/code_page.h"
#include "base/diagnostics.h"
#include "wordstore/sql.h"
#include "wordstore/texts.h"

namespace quorvo {

const char* RowView::Text(int column) const {
  if (column < 0 || column >= columns_) return nullptr;
  return reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
}

TableSnapshot& TableSnapshot::operator=(TableSnapshot&& other) noexcept {
  if (this != &other) {
    Reset();
    cells_ = std::exchange(other.cells_, nullptr);
    rows_ = std::exchange(other.rows_, 0);
    columns_ = std::exchange(other.columns_, 0);
  }
  return *this;
}

const char* TableSnapshot::Cell(int index) const {
  if (!cells_ || index < 0 || index >= (rows_ + 1) * columns_) return nullptr;
  return cells_[index];
}

void TableSnapshot::Reset() {
  if (cells_) sqlite3_free_table(cells_);
  cells_ = nullptr;
  rows_ = 0;
  columns_ = 0;
}

WordDatabase::WordDatabase(MessageBoxes* boxes) : boxes_(boxes) {}

WordDatabase::~WordDatabase() { Close(); }

bool WordDatabase::Open(const std::string& fileName) {
  return OpenWith(fileName, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

bool WordDatabase::OpenReadOnly(const std::string& fileName) { return OpenWith(fileName, SQLITE_OPEN_READONLY); }

bool WordDatabase::OpenWith(const std::string& fileName, int flags) {
  Close();
  if (!sqlite3_threadsafe()) {
    // The lookup workers share this connection; without the library's
    // serialized mode that would corrupt memory, so refuse outright.
    Diagnostic("sqlite was built without thread safety; cannot open the word database");
    return false;
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(fileName.c_str(), &db, flags | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  // Another program holding the file briefly should not fail a statement.
  sqlite3_busy_timeout(db, busyTimeoutMs_);
  db_ = db;
  readOnly_ = (flags & SQLITE_OPEN_READONLY) != 0;
  return true;
}

void WordDatabase::Close() {
  StopCommitter();
  if (db_) {
    ConnectionLock lock(db_);
    if (!CommitWriteGroupLocked().ok()) AbandonWriteGroup(Status(StatusCode::kCancelled, "closed")).clear();
  }
  if (slot_) {
    sqlite3_finalize(slot_);
    slot_ = nullptr;
  }
  if (db_) {
    sqlite3_close(db_);
    db_ = nullptr;
  }
  readOnly_ = false;
}

void WordDatabase::NoteStatement(const std::string& sql) {
  if (recordingThread_ && *recordingThread_ == std::this_thread::get_id()) groupStatements_.push_back(sql);
}

int WordDatabase::Execute(const std::string& sql) {
  if (!db_) return SQLITE_MISUSE;
  ConnectionLock lock(db_);
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) NoteStatement(sql);
  return rc;
}

Status WordDatabase::Run(const std::string& sql) {
  if (!db_) return SqliteStatus(SQLITE_MISUSE);
  ConnectionLock lock(db_);
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) NoteStatement(sql);
  return SqliteStatus(rc, db_);
}

int WordDatabase::ExecuteLogged(const std::string& sql) {
  int rc = SQLITE_MISUSE;
  if (db_) {
    char* error = nullptr;
    rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
    sqlite3_free(error);
  }
  Diagnostic(rc == SQLITE_OK ? texts::kCreatedTable : texts::kCreateTableFailed);
  return rc == SQLITE_OK ? 0 : -1;
}

Status WordDatabase::ExecuteCountingChanges(const std::string& sql, int* changes) {
  *changes = 0;
  if (!db_) return SqliteStatus(SQLITE_MISUSE);
  // The connection's own (recursive) mutex keeps every other thread's
  // statement out between the statement and the reading of its count.
  ConnectionLock lock(db_);
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return SqliteStatus(rc, db_);
  *changes = sqlite3_changes(db_);
  NoteStatement(sql);
  return Status::Ok();
}

Status WordDatabase::BeginBatch() {
  if (!db_) return SqliteStatus(SQLITE_MISUSE);
  // Held across both steps, so no store can open a new group in between.
  ConnectionLock lock(db_);
  Status committed = CommitWriteGroupLocked();
  if (!committed.ok()) return committed;
  // Some other transaction is open: a batch begun now would join it, and
  // its rollback would take the other one along.
  if (!sqlite3_get_autocommit(db_)) return Status(StatusCode::kBusy, "another transaction is open");
  Status begun = SqliteStatus(sqlite3_exec(db_, "begin transaction;", nullptr, nullptr, nullptr), db_, "begin");
  if (begun.ok()) {
    std::lock_guard batch(batchMutex_);
    batchOwner_ = std::this_thread::get_id();
  }
  return begun;
}

Status WordDatabase::CommitBatch() {
  if (!db_) return SqliteStatus(SQLITE_MISUSE);
  Status committed;
  {
    ConnectionLock lock(db_);
    committed = SqliteStatus(sqlite3_exec(db_, "commit transaction;", nullptr, nullptr, nullptr), db_, "commit");
    // A commit that could not finish (another program kept reading the file
    // past the busy wait, the disk filled) would leave the connection inside
    // the transaction, and every later statement would join it: give the
    // batch up instead, so the file stays as it was.
    if (!committed.ok() && !sqlite3_get_autocommit(db_))
      sqlite3_exec(db_, "rollback transaction;", nullptr, nullptr, nullptr);
    SettleGroupLocked(committed);
    std::lock_guard batch(batchMutex_);
    batchOwner_.reset();
  }
  batchEnded_.notify_all();
  return committed;
}

void WordDatabase::RollbackBatch() {
  if (!db_) return;
  {
    ConnectionLock lock(db_);
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "rollback transaction;", nullptr, nullptr, nullptr);
    SettleGroupLocked(Status(StatusCode::kCancelled, "the batch was given up"));
    std::lock_guard batch(batchMutex_);
    batchOwner_.reset();
  }
  batchEnded_.notify_all();
}

void WordDatabase::SetBusyTimeout(int ms) {
  busyTimeoutMs_ = ms;
  if (db_) sqlite3_busy_timeout(db_, ms);
}

Status WordDatabase::WriteInGroup(const std::function<Status()>& write, GroupSettled settled) {
  if (!db_) return SqliteStatus(SQLITE_MISUSE);
  sqlite3_mutex* mutex = sqlite3_db_mutex(db_);
  for (;;) {
    sqlite3_mutex_enter(mutex);
    std::unique_lock batch(batchMutex_);
    if (!batchOwner_ || *batchOwner_ == std::this_thread::get_id()) break;
    // Another thread's batch is open: wait for it to end (without the
    // connection, which the batch needs) rather than join it.
    sqlite3_mutex_leave(mutex);
    batchEnded_.wait(batch, [this] { return !batchOwner_; });
  }
  // Entered by the loop above; left on every way out.
  struct Leave {
    sqlite3_mutex* mutex;
    ~Leave() { sqlite3_mutex_leave(mutex); }
  } leave{mutex};

  // A group that something else ended (a failure that rolled it back).
  if (groupOpen_ && sqlite3_get_autocommit(db_)) {
    groupOpen_ = false;
    SettleGroupLocked(Status(StatusCode::kIoError, "the write group was rolled back"));
  }
  // With a batch open, the write joins it; otherwise it goes into a group.
  if (!groupOpen_ && sqlite3_get_autocommit(db_)) {
    Status begun = SqliteStatus(sqlite3_exec(db_, "begin transaction;", nullptr, nullptr, nullptr), db_, "begin");
    if (!begun.ok()) return begun;
    groupOpen_ = true;
    std::lock_guard lock(committerMutex_);
    groupDeadline_ = std::chrono::steady_clock::now() + groupWindow_;
    if (!committer_.joinable() && !committerStop_) {
      try {
        committer_ = std::thread([this] { CommitterLoop(); });
      } catch (const std::system_error&) {
        // No thread to commit later: this write commits its group itself.
      }
    }
    committerWake_.notify_one();
  }
  size_t statementsBefore = groupStatements_.size();
  recordingThread_ = std::this_thread::get_id();
  Status written;
  try {
    written = write();
  } catch (...) {
    written = Status(StatusCode::kIoError, "the write threw");
  }
  recordingThread_.reset();
  if (!written.ok()) {
    if (groupOpen_ && sqlite3_get_autocommit(db_)) {
      // The failure (a full disk, say) rolled the whole group back: every
      // write that was waiting for its commit is lost with it.
      groupOpen_ = false;
      SettleGroupLocked(written);
    } else {
      // Only this write failed; what it ran before failing is kept out of
      // what the group would write again.
      groupStatements_.resize(statementsBefore);
    }
    return written;
  }
  if (settled) pendingSettles_.push_back(std::move(settled));
  bool committerRuns;
  {
    std::lock_guard lock(committerMutex_);
    committerRuns = committer_.joinable();
  }
  // With no write announced to follow, waiting would gain nothing.
  if (groupOpen_ && (!committerRuns || expectedWrites_.load() <= 0)) CommitWriteGroupLocked().IgnoreError();
  return Status::Ok();
}

Status WordDatabase::CommitWriteGroup() {
  if (!db_) return Status::Ok();
  ConnectionLock lock(db_);
  return CommitWriteGroupLocked();
}

std::vector<std::string> WordDatabase::AbandonWriteGroup(const Status& outcome) {
  if (!db_) return {};
  ConnectionLock lock(db_);
  std::vector<std::string> statements;
  if (!groupOpen_) return statements;
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "rollback transaction;", nullptr, nullptr, nullptr);
  groupOpen_ = false;
  statements.swap(groupStatements_);
  SettleGroupLocked(outcome);
  {
    std::lock_guard committer(committerMutex_);
    groupDeadline_.reset();
  }
  return statements;
}

bool WordDatabase::WriteGroupOpen() {
  if (!db_) return false;
  ConnectionLock lock(db_);
  return groupOpen_ && !sqlite3_get_autocommit(db_);
}

void WordDatabase::SetWriteGroupWindow(std::chrono::milliseconds window) {
  std::lock_guard lock(committerMutex_);
  groupWindow_ = window;
}

void WordDatabase::SettleGroupLocked(const Status& outcome) {
  std::vector<GroupSettled> settles;
  settles.swap(pendingSettles_);
  groupStatements_.clear();
  for (auto& settle : settles) settle(outcome);
}

Status WordDatabase::CommitWriteGroupLocked() {
  if (!groupOpen_) return Status::Ok();
  Status committed;
  if (sqlite3_get_autocommit(db_)) {
    committed = Status(StatusCode::kIoError, "the write group was rolled back");
  } else {
    committed = SqliteStatus(sqlite3_exec(db_, "commit transaction;", nullptr, nullptr, nullptr), db_, "commit");
    // A commit that could not finish while the transaction stays open
    // (another program holding the file past the busy time-out) leaves the
    // group open for the next try, a while later: a commit that waits keeps
    // new readers out of the file (ours too), so it must not wait all the
    // time.
    if (!committed.ok() && !sqlite3_get_autocommit(db_)) {
      std::lock_guard lock(committerMutex_);
      groupDeadline_ = std::chrono::steady_clock::now() + std::max(groupWindow_, kHeldGroupRetry);
      return committed;
    }
  }
  groupOpen_ = false;
  {
    std::lock_guard lock(committerMutex_);
    groupDeadline_.reset();
  }
  SettleGroupLocked(committed);
  return committed;
}

void WordDatabase::CommitterLoop() {
  std::unique_lock lock(committerMutex_);
  while (!committerStop_) {
    if (!groupDeadline_) {
      committerWake_.wait(lock);
      continue;
    }
    if (committerWake_.wait_until(lock, *groupDeadline_) != std::cv_status::timeout) continue;
    if (!groupDeadline_ || std::chrono::steady_clock::now() < *groupDeadline_) continue;
    lock.unlock();  // the connection's mutex comes first
    CommitWriteGroup().IgnoreError();
    lock.lock();
  }
}

void WordDatabase::StopCommitter() {
  std::thread committer;
  {
    std::lock_guard lock(committerMutex_);
    committerStop_ = true;
    committer.swap(committer_);
  }
  committerWake_.notify_all();
  if (committer.joinable()) committer.join();
  std::lock_guard lock(committerMutex_);
  committerStop_ = false;
}

int WordDatabase::QueryRows(const std::string& sql, const RowSink& sink, Status* readStatus) {
  if (readStatus) *readStatus = Status::Ok();
  if (slot_) {
    sqlite3_finalize(slot_);
    slot_ = nullptr;
  }
  int prepared =
      db_ ? sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &slot_, nullptr) : SQLITE_MISUSE;
  if (prepared != SQLITE_OK || !slot_) {
    Status failed = SqliteStatus(prepared == SQLITE_OK ? SQLITE_ERROR : prepared, db_, "prepare");
    if (readStatus) *readStatus = failed;
    if (slot_) {
      sqlite3_finalize(slot_);
      slot_ = nullptr;
    }
    // A statement the file cannot run (no such bank, a bad text) is the
    // syntax message; a file that cannot be read now (held by another
    // program, damaged) is no syntax error, and the caller says what it is.
    if (boxes_ && failed.code() == StatusCode::kRejected) boxes_->Show(BoxKind::Plain, Gbk(texts::kSyntaxError));
    return 0;
  }
  int rows = 0;
  int rc = sqlite3_step(slot_);
  int columns = sqlite3_column_count(slot_);
  while (rc == SQLITE_ROW) {
    ++rows;
    if (sink) sink(rows, RowView(slot_, columns));
    rc = sqlite3_step(slot_);
  }
  if (readStatus && rc != SQLITE_DONE) *readStatus = SqliteStatus(rc, db_, "read");
  sqlite3_reset(slot_);
  return rows;
}

int WordDatabase::LoadTable(const std::string& sql, TableSnapshot* snapshot) {
  snapshot->Reset();
  if (!db_) return SQLITE_MISUSE;
  char** cells = nullptr;
  int rows = 0;
  int columns = 0;
  int rc = sqlite3_get_table(db_, sql.c_str(), &cells, &rows, &columns, nullptr);
  if (rc != SQLITE_OK) {
    if (cells) sqlite3_free_table(cells);
    return rc;
  }
  snapshot->cells_ = cells;
  snapshot->rows_ = rows;
  snapshot->columns_ = columns;
  return rc;
}

}  // namespace quorvo
